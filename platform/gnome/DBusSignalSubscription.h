#pragma once

#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <functional>
#include <string>

namespace velmora::gnome {

// One signal subscription on a bus connection, held for exactly as long as
// the object lives: the handler can never run on a freed owner. Handlers run
// on the thread-default main context of the moment of subscribing.
class DBusSignalSubscription {
public:
    using Handler = std::function<void(GVariant* parameters)>;

    DBusSignalSubscription() = default;
    // Null sender, path or arg0 match any. The handler is called with the
    // signal's parameters, borrowed for the call.
    DBusSignalSubscription(GDBusConnection* bus, const char* sender, const char* interface, const char* member,
                           const std::string& path, const char* arg0, Handler handler);
    DBusSignalSubscription(DBusSignalSubscription&&) = delete;
    DBusSignalSubscription& operator=(DBusSignalSubscription&&) = delete;
    ~DBusSignalSubscription();

private:
    static void onSignal(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters,
                         gpointer self);

    linux_desktop::GObjectRef<GDBusConnection> m_bus;
    Handler m_handler;
    guint m_id{0};
};

} // namespace velmora::gnome
