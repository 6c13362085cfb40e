#include "platform/linux/SourceGuard.h"

namespace velmora::linux_desktop {

void SourceGuard::start(GSource* source, const char* name)
{
    stop();
    g_source_set_name(source, name);
    g_source_attach(source, g_main_context_get_thread_default());
    m_source = source;
}

void SourceGuard::stop()
{
    if (GSource* source = std::exchange(m_source, nullptr)) {
        g_source_destroy(source);
        g_source_unref(source);
    }
}

// static
SourceGuard SourceGuard::timeout(guint milliseconds, GSourceFunc callback, gpointer data, const char* name)
{
    SourceGuard guard;
    GSource* source = g_timeout_source_new(milliseconds);
    g_source_set_callback(source, callback, data, nullptr);
    guard.start(source, name);
    return guard;
}

// static
SourceGuard SourceGuard::idle(GSourceFunc callback, gpointer data, const char* name)
{
    SourceGuard guard;
    GSource* source = g_idle_source_new();
    g_source_set_callback(source, callback, data, nullptr);
    guard.start(source, name);
    return guard;
}

// static
SourceGuard SourceGuard::fd(int fd, GIOCondition condition, GUnixFDSourceFunc callback, gpointer data, const char* name)
{
    SourceGuard guard;
    GSource* source = g_unix_fd_source_new(fd, condition);
    g_source_set_callback(source, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(callback)), data, nullptr);
    guard.start(source, name);
    return guard;
}

} // namespace velmora::linux_desktop
