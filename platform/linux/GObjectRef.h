#pragma once

#include <glib-object.h>

#include <utility>

namespace velmora::linux_desktop {

// One strong reference to a GObject. The factory name says at the call site
// whether the reference is taken over from a (transfer full) getter or added
// to a borrowed pointer. Move-only: a copy would hide a second unref.
template<typename T>
class GObjectRef {
public:
    GObjectRef() = default;

    // Takes over a reference the caller already owns.
    static GObjectRef adopt(T* object) { return GObjectRef(object); }
    // Adds a reference to a borrowed pointer.
    static GObjectRef retain(T* object)
    {
        if (object)
            g_object_ref(object);
        return GObjectRef(object);
    }

    GObjectRef(GObjectRef&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) { }
    GObjectRef& operator=(GObjectRef&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_object, nullptr));
        return *this;
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    ~GObjectRef() { reset(); }

    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // Another owner of the same object.
    GObjectRef share() const { return retain(m_object); }

    void reset(T* object = nullptr)
    {
        if (T* old = std::exchange(m_object, object))
            g_object_unref(old);
    }

private:
    explicit GObjectRef(T* object) : m_object(object) { }

    T* m_object{nullptr}; // owned: one reference
};

} // namespace velmora::linux_desktop
