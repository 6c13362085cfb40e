#include "platform/gnome/DBusSignalSubscription.h"

namespace velmora::gnome {

DBusSignalSubscription::DBusSignalSubscription(GDBusConnection* bus, const char* sender, const char* interface,
                                               const char* member, const std::string& path, const char* arg0,
                                               Handler handler)
    : m_bus(linux_desktop::GObjectRef<GDBusConnection>::retain(bus))
    , m_handler(std::move(handler))
{
    m_id = g_dbus_connection_signal_subscribe(bus, sender, interface, member, path.empty() ? nullptr : path.c_str(),
                                              arg0, G_DBUS_SIGNAL_FLAGS_NONE, onSignal, this, nullptr);
}

DBusSignalSubscription::~DBusSignalSubscription()
{
    if (m_id)
        g_dbus_connection_signal_unsubscribe(m_bus.get(), m_id);
}

// static
void DBusSignalSubscription::onSignal(GDBusConnection*, const char*, const char*, const char*, const char*,
                                      GVariant* parameters, gpointer self)
{
    // A copy: the handler may well end the subscription that calls it.
    const Handler handler = static_cast<DBusSignalSubscription*>(self)->m_handler;
    handler(parameters);
}

} // namespace velmora::gnome
