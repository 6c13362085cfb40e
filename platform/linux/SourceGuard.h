#pragma once

#include <glib-unix.h>
#include <glib.h>

#include <utility>

namespace velmora::linux_desktop {

// Keeps a GSource attached for exactly as long as the guard lives: the
// destructor destroys the source, so its callback can never run on a freed
// owner. Every source gets a name, which shows in profilers and in
// g_main_context dumps. Move-only; start() and stop() are idempotent.
class SourceGuard {
public:
    SourceGuard() = default;
    SourceGuard(SourceGuard&& other) noexcept : m_source(std::exchange(other.m_source, nullptr)) { }
    SourceGuard& operator=(SourceGuard&& other) noexcept
    {
        if (this != &other) {
            stop();
            m_source = std::exchange(other.m_source, nullptr);
        }
        return *this;
    }
    SourceGuard(const SourceGuard&) = delete;
    SourceGuard& operator=(const SourceGuard&) = delete;
    ~SourceGuard() { stop(); }

    // Takes over a new, not yet attached source: names it and attaches it to
    // the thread-default context. Any source held before is stopped.
    void start(GSource* source, const char* name);
    void stop();
    bool isActive() const { return m_source != nullptr; }

    // Sources with plain callbacks. `data` must outlive the guard.
    static SourceGuard timeout(guint milliseconds, GSourceFunc callback, gpointer data, const char* name);
    static SourceGuard idle(GSourceFunc callback, gpointer data, const char* name);
    static SourceGuard fd(int fd, GIOCondition condition, GUnixFDSourceFunc callback, gpointer data, const char* name);

private:
    GSource* m_source{nullptr}; // owned: our reference, attached while held
};

} // namespace velmora::linux_desktop
