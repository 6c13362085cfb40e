#pragma once

#include <glib.h>

#include <string>
#include <utility>

namespace velmora::linux_desktop {

// The out-parameter of a GLib call that may fail. Pass `&error` (through
// out()) to the call; the error is freed with the wrapper. Move-only.
class GErrorPtr {
public:
    GErrorPtr() = default;
    GErrorPtr(GErrorPtr&& other) noexcept : m_error(std::exchange(other.m_error, nullptr)) { }
    GErrorPtr& operator=(GErrorPtr&& other) noexcept
    {
        if (this != &other) {
            clear();
            m_error = std::exchange(other.m_error, nullptr);
        }
        return *this;
    }
    GErrorPtr(const GErrorPtr&) = delete;
    GErrorPtr& operator=(const GErrorPtr&) = delete;
    ~GErrorPtr() { clear(); }

    // Clears any earlier error, so one wrapper can serve several calls.
    GError** out()
    {
        clear();
        return &m_error;
    }
    GError* get() const { return m_error; }
    explicit operator bool() const { return m_error != nullptr; }
    std::string message() const { return m_error ? std::string(m_error->message) : std::string(); }
    bool matches(GQuark domain, int code) const { return m_error && g_error_matches(m_error, domain, code); }

    void clear()
    {
        if (m_error)
            g_error_free(std::exchange(m_error, nullptr));
    }

private:
    GError* m_error{nullptr}; // owned
};

} // namespace velmora::linux_desktop
