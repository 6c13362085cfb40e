#pragma once

#include <glib.h>

#include <memory>
#include <string>

namespace velmora::linux_desktop {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};

// A string GLib allocated and we must g_free.
class GCharPtr {
public:
    GCharPtr() = default;
    explicit GCharPtr(gchar* adopted) : m_text(adopted) { }

    const gchar* get() const { return m_text.get(); }
    explicit operator bool() const { return m_text != nullptr; }
    // "" for null, so callers need not test first.
    std::string str() const { return m_text ? std::string(m_text.get()) : std::string(); }

private:
    std::unique_ptr<gchar, GFreeDeleter> m_text;
};

} // namespace velmora::linux_desktop
