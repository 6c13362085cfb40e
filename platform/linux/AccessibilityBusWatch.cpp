#include "platform/linux/AccessibilityBusWatch.h"

#include "platform/SystemLog.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/Gettext.h"

#include <algorithm>
#include <memory>

namespace velmora::linux_desktop {

AccessibilityBusWatch::AccessibilityBusWatch(GObjectRef<GDBusConnection> session, ReachableHandler onReachable)
    : m_session(std::move(session))
    , m_onReachable(std::move(onReachable))
    , m_alive(GObjectRef<GCancellable>::adopt(g_cancellable_new()))
{
    // Called at once when the launcher already runs, so no first ask here.
    m_launcherWatch = g_bus_watch_name_on_connection(m_session.get(), "org.a11y.Bus", G_BUS_NAME_WATCHER_FLAGS_NONE,
        &AccessibilityBusWatch::onLauncherAppeared, nullptr, this, nullptr);
    ask();
}

AccessibilityBusWatch::~AccessibilityBusWatch()
{
    if (m_launcherWatch)
        g_bus_unwatch_name(m_launcherWatch);
    g_cancellable_cancel(m_alive.get());
    if (m_connect)
        g_cancellable_cancel(m_connect.get());
}

// static
GObjectRef<GDBusConnection> AccessibilityBusWatch::waitForBus(GObjectRef<GDBusConnection> session, SystemLog& log, double patience)
{
    GObjectRef<GDBusConnection> bus;
    AccessibilityBusWatch watch(std::move(session), [&](GObjectRef<GDBusConnection> reached) { bus = std::move(reached); });
    // A bus that is merely slow to answer is not worth a line in the log.
    const gint64 quietUntil = g_get_monotonic_time() + 2 * kBusCallMs * G_TIME_SPAN_MILLISECOND;
    bool said = false;
    // Wakes the loop at the end of the wait, between the watch's own retries.
    bool outOfPatience = false;
    SourceGuard deadline;
    if (patience > 0) {
        deadline = SourceGuard::timeout(static_cast<guint>(patience * 1000), [](gpointer late) -> gboolean {
            *static_cast<bool*>(late) = true;
            return G_SOURCE_REMOVE;
        }, &outOfPatience, "[velmora] accessibility bus patience");
    }
    while (!bus) {
        if (outOfPatience) {
            log.log("no accessibility bus within " + std::to_string(static_cast<int>(patience)) + " s: not watching");
            return {};
        }
        if (!said && g_get_monotonic_time() > quietUntil) {
            log.log(_("no accessibility bus yet: waiting for it before watching applications"));
            said = true;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
    if (said)
        log.log(_("the accessibility bus is up: watching applications"));
    return bus;
}

void AccessibilityBusWatch::ask()
{
    if (m_asking || m_reached)
        return;
    m_asking = true;
    m_retry.stop();
    // Auto-start allowed: where the session starts the launcher on demand,
    // asking is what starts it.
    g_dbus_connection_call(m_session.get(), "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr,
        G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, m_alive.get(), &AccessibilityBusWatch::onAddress,
        new Pending{this, m_alive.share()});
}

void AccessibilityBusWatch::retryLater()
{
    m_asking = false;
    m_retry = SourceGuard::timeout(m_retryMs, &AccessibilityBusWatch::onRetry, this, "[velmora] accessibility bus retry");
    m_retryMs = std::min(m_retryMs * 2, kLastRetryMs);
}

void AccessibilityBusWatch::addressAnswered(GVariant* reply)
{
    const gchar* address = nullptr;
    if (reply)
        g_variant_get(reply, "(&s)", &address);
    if (!address || !*address) {
        retryLater();
        return;
    }
    // A connection has no timeout of its own: a bus daemon that accepts the
    // socket but never answers would hold the attempt for good.
    m_connect = GObjectRef<GCancellable>::adopt(g_cancellable_new());
    m_connectDeadline = SourceGuard::timeout(kBusCallMs, &AccessibilityBusWatch::onConnectTooLong, this,
        "[velmora] accessibility bus connection deadline");
    g_dbus_connection_new_for_address(address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, m_connect.get(), &AccessibilityBusWatch::onConnected, new Pending{this, m_alive.share()});
}

void AccessibilityBusWatch::connected(GObjectRef<GDBusConnection> bus)
{
    m_connectDeadline.stop();
    m_connect.reset();
    if (!bus) {
        retryLater();
        return;
    }
    m_asking = false;
    m_reached = true;
    g_bus_unwatch_name(m_launcherWatch);
    m_launcherWatch = 0;
    auto handler = std::move(m_onReachable);
    handler(std::move(bus));
}

// static
void AccessibilityBusWatch::onLauncherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data)
{
    auto* self = static_cast<AccessibilityBusWatch*>(data);
    // A launcher that has just come is worth asking at once, and often.
    self->m_retryMs = kFirstRetryMs;
    self->ask();
}

// static
void AccessibilityBusWatch::onAddress(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, error.out());
    if (g_cancellable_is_cancelled(pending->alive.get())) {
        if (reply)
            g_variant_unref(reply);
        return;
    }
    pending->watch->addressAnswered(reply);
    if (reply)
        g_variant_unref(reply);
}

// static
void AccessibilityBusWatch::onConnected(GObject*, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
    GErrorPtr error;
    auto bus = GObjectRef<GDBusConnection>::adopt(g_dbus_connection_new_for_address_finish(result, error.out()));
    if (g_cancellable_is_cancelled(pending->alive.get()))
        return;
    pending->watch->connected(std::move(bus));
}

// static
gboolean AccessibilityBusWatch::onRetry(gpointer data)
{
    auto* self = static_cast<AccessibilityBusWatch*>(data);
    self->m_retry.stop();
    self->ask();
    return G_SOURCE_REMOVE;
}

// static
gboolean AccessibilityBusWatch::onConnectTooLong(gpointer data)
{
    auto* self = static_cast<AccessibilityBusWatch*>(data);
    self->m_connectDeadline.stop();
    // The attempt ends with a cancelled error, which schedules the next one.
    if (self->m_connect)
        g_cancellable_cancel(self->m_connect.get());
    return G_SOURCE_REMOVE;
}

} // namespace velmora::linux_desktop
