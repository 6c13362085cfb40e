#pragma once

#include "platform/linux/GObjectRef.h"
#include "platform/linux/SourceGuard.h"

#include <gio/gio.h>

#include <functional>

namespace velmora {
class SystemLog;
}

namespace velmora::linux_desktop {

// Waits for the session's accessibility bus to become reachable: the bus
// launcher answers on the session bus with an address, and that address
// accepts a connection. The launcher's name is watched, so a launcher that
// appears is asked at once; until then it is asked again after 0.25 s,
// doubling up to every 5 s, so a session without one costs next to nothing.
// Everything is asynchronous and runs on the thread-default main context.
class AccessibilityBusWatch {
public:
    // Called once, from the main loop, with a connection to the bus.
    using ReachableHandler = std::function<void(GObjectRef<GDBusConnection> accessibilityBus)>;

    static constexpr guint kFirstRetryMs = 250;
    static constexpr guint kLastRetryMs = 5000;

    // Starts asking at once. `session` is shared. No handler runs after the
    // watch is destroyed.
    AccessibilityBusWatch(GObjectRef<GDBusConnection> session, ReachableHandler onReachable);
    ~AccessibilityBusWatch();
    AccessibilityBusWatch(const AccessibilityBusWatch&) = delete;
    AccessibilityBusWatch& operator=(const AccessibilityBusWatch&) = delete;

    // Serves the default main context until the bus is reachable, or for
    // `patience` seconds (0: for good), after which it answers null. Says so
    // in `log` (one line) when it is not within the first few attempts, and
    // again (one line) when it appears.
    static GObjectRef<GDBusConnection> waitForBus(GObjectRef<GDBusConnection> session, SystemLog& log, double patience = 0);

private:
    // What an asynchronous call's callback gets: the watch, valid only while
    // `alive` is not cancelled (the watch cancels it when destroyed).
    struct Pending {
        AccessibilityBusWatch* watch;
        GObjectRef<GCancellable> alive;
    };

    void ask();
    void retryLater();
    void addressAnswered(GVariant* reply);
    void connected(GObjectRef<GDBusConnection> bus);

    static void onLauncherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data);
    static void onAddress(GObject* source, GAsyncResult* result, gpointer data);
    static void onConnected(GObject* source, GAsyncResult* result, gpointer data);
    static gboolean onRetry(gpointer data);
    static gboolean onConnectTooLong(gpointer data);

    GObjectRef<GDBusConnection> m_session;
    ReachableHandler m_onReachable;
    GObjectRef<GCancellable> m_alive;   // cancelled when the watch goes
    GObjectRef<GCancellable> m_connect; // the connection attempt under way
    guint m_launcherWatch{0};
    SourceGuard m_retry;
    SourceGuard m_connectDeadline;
    guint m_retryMs{kFirstRetryMs};
    bool m_asking{false};
    bool m_reached{false};
};

} // namespace velmora::linux_desktop
