#include "platform/linux/BusNameOwner.h"

#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <functional>

namespace velmora::linux_desktop {

bool busNameHasOwner(GDBusConnection* bus, const char* name)
{
    if (!bus)
        return false;
    GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr,
                                                  error.out());
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned;
}

namespace {

// Runs an asynchronous connection on a context of its own, so that nothing
// else of the program runs meanwhile, and gives up at the deadline; the
// connection itself later serves whichever context subscribes on it.
GObjectRef<GDBusConnection> connectWithin(const std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>& start,
                                          GDBusConnection* (*finish)(GAsyncResult*, GError**), int timeoutMs,
                                          const char* what, std::string& error)
{
    struct Wait {
        GDBusConnection* (*finish)(GAsyncResult*, GError**){nullptr};
        GDBusConnection* bus{nullptr};
        GErrorPtr error;
        bool done{false};
        bool late{false};
    } wait;
    wait.finish = finish;
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    GCancellable* cancellable = g_cancellable_new();
    start(cancellable,
          [](GObject*, GAsyncResult* result, gpointer data) {
              auto* w = static_cast<Wait*>(data);
              w->bus = w->finish(result, w->error.out());
              w->done = true;
          },
          &wait);
    GSource* timer = g_timeout_source_new(static_cast<guint>(timeoutMs));
    g_source_set_callback(timer, [](gpointer data) { static_cast<Wait*>(data)->late = true; return G_SOURCE_REMOVE; },
                          &wait, nullptr);
    g_source_attach(timer, context);
    while (!wait.done && !wait.late)
        g_main_context_iteration(context, TRUE);
    if (!wait.done) {
        g_cancellable_cancel(cancellable);
        while (!wait.done)
            g_main_context_iteration(context, TRUE);
    }
    g_source_destroy(timer);
    g_source_unref(timer);
    g_object_unref(cancellable);
    g_main_context_pop_thread_default(context);
    while (g_main_context_iteration(context, FALSE)) { }
    g_main_context_unref(context);
    if (!wait.bus)
        error = wait.late ? std::string(what) + " did not answer within " + std::to_string(timeoutMs) + " ms"
                          : wait.error.message();
    return GObjectRef<GDBusConnection>::adopt(wait.bus);
}

} // namespace

GObjectRef<GDBusConnection> sessionBusWithin(int timeoutMs, std::string& error)
{
    return connectWithin([](GCancellable* cancellable, GAsyncReadyCallback done,
                            gpointer data) { g_bus_get(G_BUS_TYPE_SESSION, cancellable, done, data); },
                         g_bus_get_finish, timeoutMs, "the session bus", error);
}

GObjectRef<GDBusConnection> busAtAddressWithin(const std::string& address, int timeoutMs, std::string& error)
{
    return connectWithin(
        [&address](GCancellable* cancellable, GAsyncReadyCallback done, gpointer data) {
            g_dbus_connection_new_for_address(address.c_str(),
                                              static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                                                                | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                              nullptr, cancellable, done, data);
        },
        g_dbus_connection_new_for_address_finish, timeoutMs, "the bus", error);
}

} // namespace velmora::linux_desktop
