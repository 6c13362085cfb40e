#include "platform/gnome/ShellExtensionPointer.h"

#include "platform/linux/BusNameOwner.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <cmath>
#include <utility>
#include <string>

namespace velmora::gnome {

namespace {

struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

} // namespace

ShellExtensionPointer::ShellExtensionPointer(GDBusConnection* session, SystemLog& log, Accessibility& accessibility,
                                             FallbackFactory makeFallback)
    : m_bus(linux_desktop::GObjectRef<GDBusConnection>::retain(session))
    , m_log(log)
    , m_accessibility(accessibility)
    , m_makeFallback(std::move(makeFallback))
{
    // Known now, not at the watch's first word: the first snap may come before.
    m_present = linux_desktop::busNameHasOwner(session, kBusName);
    m_watch = g_bus_watch_name_on_connection(session, kBusName, G_BUS_NAME_WATCHER_FLAGS_NONE, onAppeared, onVanished,
                                             this, nullptr);
}

ShellExtensionPointer::~ShellExtensionPointer()
{
    g_bus_unwatch_name(m_watch);
}

// static
bool ShellExtensionPointer::available(GDBusConnection* session)
{
    return linux_desktop::busNameHasOwner(session, kBusName);
}

// static
void ShellExtensionPointer::onAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer self)
{
    auto* pointer = static_cast<ShellExtensionPointer*>(self);
    if (std::exchange(pointer->m_present, true))
        return;
    pointer->m_troubleReported = false;
    pointer->m_log.log("GNOME Shell's Velmora extension is on the session bus: the pointer is moved and read through it.");
}

// static
void ShellExtensionPointer::onVanished(GDBusConnection*, const gchar*, gpointer self)
{
    auto* pointer = static_cast<ShellExtensionPointer*>(self);
    if (!std::exchange(pointer->m_present, false))
        return;
    pointer->m_log.log("GNOME Shell's Velmora extension left the session bus: the pointer is moved through mutter's "
                       "remote desktop until it is back.");
}

Pointer& ShellExtensionPointer::fallback()
{
    if (!m_fallback)
        m_fallback = m_makeFallback();
    return *m_fallback;
}

PointerAbilities ShellExtensionPointer::abilities()
{
    if (!m_present)
        return fallback().abilities();
    return {true, true, true};
}

bool ShellExtensionPointer::moveToInWindow(const AccessibleElement& window, WindowPoint point)
{
    if (!m_present)
        return fallback().moveToInWindow(window, point);
    // Only into the window that was asked for: the focus may have moved on
    // since its accessibility event.
    pid_t pid = 0;
    if (m_accessibility.getPid(window, pid) != AccessibilityError::Success || pid <= 0)
        return false;
    VariantPtr reply(call("MoveInFocusedWindow",
                          g_variant_new("(udd)", static_cast<guint32>(pid), static_cast<double>(point.x),
                                        static_cast<double>(point.y)),
                          "(b)"));
    gboolean moved = FALSE;
    if (reply)
        g_variant_get(reply.get(), "(b)", &moved);
    return moved;
}

void ShellExtensionPointer::moveTo(Point point)
{
    if (!m_present) {
        fallback().moveTo(point);
        return;
    }
    VariantPtr reply(call("MoveTo", g_variant_new("(dd)", static_cast<double>(point.x), static_cast<double>(point.y)),
                          nullptr));
}

std::optional<ShellExtensionPointer::Reading> ShellExtensionPointer::read()
{
    VariantPtr reply(call("Pointer", nullptr, "(ddb)"));
    if (!reply)
        return std::nullopt;
    double x = 0, y = 0;
    gboolean down = FALSE;
    g_variant_get(reply.get(), "(ddb)", &x, &y, &down);
    Reading reading;
    reading.location = Point{static_cast<float>(x), static_cast<float>(y)};
    reading.buttonDown = down;
    m_last = reading.location;
    return reading;
}

Point ShellExtensionPointer::location()
{
    if (!m_present)
        return fallback().location();
    auto reading = read();
    return reading ? reading->location : m_last;
}

bool ShellExtensionPointer::anyButtonDown()
{
    if (!m_present)
        return fallback().anyButtonDown();
    auto reading = read();
    return reading && reading->buttonDown;
}

std::optional<linux_desktop::SurfaceLocator::Surface> ShellExtensionPointer::surfaceAt(int x, int y)
{
    if (!m_present)
        return std::nullopt;
    VariantPtr reply(call("WindowAt", g_variant_new("(dd)", static_cast<double>(x), static_cast<double>(y)), "(udd)"));
    if (!reply)
        return std::nullopt;
    guint32 pid = 0;
    double left = 0, top = 0;
    g_variant_get(reply.get(), "(udd)", &pid, &left, &top);
    if (pid == 0)
        return std::nullopt;
    return Surface{static_cast<pid_t>(pid), static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top))};
}

std::optional<pid_t> ShellExtensionPointer::focusedProcess()
{
    if (!m_present)
        return std::nullopt;
    VariantPtr reply(call("FocusedProcess", nullptr, "(u)"));
    if (!reply)
        return std::nullopt;
    guint32 pid = 0;
    g_variant_get(reply.get(), "(u)", &pid);
    if (pid == 0)
        return std::nullopt;
    return static_cast<pid_t>(pid);
}

GVariant* ShellExtensionPointer::call(const char* method, GVariant* parameters, const char* replyType)
{
    linux_desktop::GErrorPtr error;
    const gint64 start = g_get_monotonic_time();
    GVariant* reply = g_dbus_connection_call_sync(m_bus.get(), kBusName, kObjectPath, kInterface, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr,
                                                  error.out());
    g_log("velmora-shell", G_LOG_LEVEL_DEBUG, "%s: %.2f ms, from %.6f", method, (g_get_monotonic_time() - start) / 1000.0,
          start / 1e6);
    if (reply) {
        m_troubleReported = false;
        return reply;
    }
    gchar* remote = error ? g_dbus_error_get_remote_error(error.get()) : nullptr;
    const std::string why = remote ? remote : error.message();
    g_free(remote);
    // The bus answers for a peer that has left it (the shell ended or
    // restarted): the name's watch says so in its own line.
    const bool left = error
        && (g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY)
            || g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN)
            || g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER));
    if (!left && !std::exchange(m_troubleReported, true))
        m_log.log(std::string("GNOME Shell's Velmora extension did not answer (") + method + ": " + why
                  + "); the next request tries again.");
    return nullptr;
}

} // namespace velmora::gnome
