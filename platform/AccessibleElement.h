#pragma once

#include <cstddef>
#include <memory>

namespace velmora {

// What a backend keeps for one accessibility element. Handles share it; the
// backend decides when two nodes denote the same element.
class AccessibleElementRef {
public:
    virtual ~AccessibleElementRef() = default;
    virtual bool isEqual(const AccessibleElementRef& other) const = 0;
    virtual size_t hash() const = 0;
};

// A reference-counted handle to an accessibility element (application,
// system-wide element, window, button, ...). Copying a handle retains the
// element, destroying it releases it. An empty handle stands for "no element".
// Two handles are equal when the backend says they denote the same element.
class AccessibleElement {
public:
    AccessibleElement() = default;
    explicit AccessibleElement(std::shared_ptr<AccessibleElementRef> ref) : m_ref(std::move(ref)) { }

    explicit operator bool() const { return m_ref != nullptr; }
    bool isEmpty() const { return m_ref == nullptr; }
    void reset() { m_ref.reset(); }

    // The backend's node; null for an empty handle.
    AccessibleElementRef* ref() const { return m_ref.get(); }
    template<typename T> T* refAs() const { return dynamic_cast<T*>(m_ref.get()); }

    friend bool operator==(const AccessibleElement& a, const AccessibleElement& b)
    {
        if (!a.m_ref || !b.m_ref)
            return a.m_ref == b.m_ref;
        return a.m_ref == b.m_ref || a.m_ref->isEqual(*b.m_ref);
    }

    size_t hash() const { return m_ref ? m_ref->hash() : 0; }

private:
    std::shared_ptr<AccessibleElementRef> m_ref;
};

struct AccessibleElementHash {
    size_t operator()(const AccessibleElement& e) const { return e.hash(); }
};

} // namespace velmora
