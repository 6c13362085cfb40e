#pragma once

#include "platform/SessionBroadcast.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <memory>

namespace velmora::linux_desktop {

// Distributed notifications as D-Bus signals on the user's session bus: one
// broadcast signal whose only argument is the notification's name. The bus
// delivers each to every connection that subscribed to that name (this
// process's own included), from the receiver's main loop; posting queues the
// message and returns. A name is the whole message: nothing else travels.
class DBusSessionBroadcast final : public SessionBroadcast {
public:
    static constexpr const char* kObjectPath = "/com/brightfen/velmora/DistributedNotifications";
    static constexpr const char* kInterface = "com.brightfen.velmora.DistributedNotifications";
    static constexpr const char* kMember = "Posted";

    explicit DBusSessionBroadcast(GObjectRef<GDBusConnection> sessionBus);
    ~DBusSessionBroadcast() override;
    DBusSessionBroadcast(const DBusSessionBroadcast&) = delete;
    DBusSessionBroadcast& operator=(const DBusSessionBroadcast&) = delete;

    // The observation may outlive the centre; it keeps the bus connection alive.
    NotificationObservation addObserver(const std::string& name, Handler handler) override;
    // A failure to queue (bus gone) is logged to standard error only: posting
    // has no caller that could act on it.
    void postNotificationName(const std::string& name) override;

private:
    struct Bus {
        GObjectRef<GDBusConnection> connection;
    };
    std::shared_ptr<Bus> m_bus;
};

} // namespace velmora::linux_desktop
