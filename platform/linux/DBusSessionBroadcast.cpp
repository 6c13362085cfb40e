#include "platform/linux/DBusSessionBroadcast.h"

#include "platform/linux/GErrorPtr.h"

#include <cstdio>

namespace velmora::linux_desktop {

namespace {

void onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer data)
{
    const gchar* name = nullptr;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)")))
        return;
    g_variant_get(parameters, "(&s)", &name);
    // A copy: the handler may end its own subscription, which frees the original.
    auto handler = *static_cast<SessionBroadcast::Handler*>(data);
    handler(name);
}

void freeHandler(gpointer data)
{
    delete static_cast<SessionBroadcast::Handler*>(data);
}

} // namespace

DBusSessionBroadcast::DBusSessionBroadcast(GObjectRef<GDBusConnection> sessionBus)
    : m_bus(std::make_shared<Bus>(Bus{std::move(sessionBus)}))
{
}

DBusSessionBroadcast::~DBusSessionBroadcast() = default;

NotificationObservation DBusSessionBroadcast::addObserver(const std::string& name, Handler handler)
{
    // arg0 matching lets the bus daemon do the filtering: a process is woken
    // only for the names it listens to.
    guint id = g_dbus_connection_signal_subscribe(m_bus->connection.get(), nullptr, kInterface, kMember, kObjectPath,
        name.c_str(), G_DBUS_SIGNAL_FLAGS_NONE, onSignal, new Handler(std::move(handler)), freeHandler);
    std::shared_ptr<Bus> bus = m_bus;
    return NotificationObservation([bus, id] { g_dbus_connection_signal_unsubscribe(bus->connection.get(), id); });
}

void DBusSessionBroadcast::postNotificationName(const std::string& name)
{
    GErrorPtr error;
    if (!g_dbus_connection_emit_signal(m_bus->connection.get(), nullptr, kObjectPath, kInterface, kMember,
            g_variant_new("(s)", name.c_str()), error.out()))
        std::fprintf(stderr, "velmora: could not post %s: %s\n", name.c_str(), error.message().c_str());
}

} // namespace velmora::linux_desktop
