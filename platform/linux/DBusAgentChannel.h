#pragma once

#include "platform/AgentChannel.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <memory>
#include <string>

namespace velmora::linux_desktop {

class SyslogSystemLog;

// The agent's well-known name on the session bus and the object behind it.
// The object is introspectable (org.freedesktop.DBus.Introspectable comes with
// GDBus's object registration), so `gdbus introspect` and `busctl` show it:
//
//   com.brightfen.velmora.Agent at /com/brightfen/velmora/Agent
//     Quit(), Reload()         orders; the reply comes once the order is taken
//     Version (s), Running (b) read-only properties
//
// The name is claimed without queueing: a second agent hears at once that the
// name is taken instead of waiting in line behind the first.
class DBusAgentChannel final : public AgentChannel {
public:
    static constexpr const char* kBusName = "com.brightfen.velmora.Agent";
    static constexpr const char* kObjectPath = "/com/brightfen/velmora/Agent";
    static constexpr const char* kInterface = "com.brightfen.velmora.Agent";

    explicit DBusAgentChannel(GObjectRef<GDBusConnection> sessionBus);
    ~DBusAgentChannel() override;
    DBusAgentChannel(const DBusAgentChannel&) = delete;
    DBusAgentChannel& operator=(const DBusAgentChannel&) = delete;

    // AgentChannel overrides.
    ClaimOutcome claim(const std::string& version, Orders orders) override;
    [[nodiscard]] NotificationObservation watch(WatchHandlers handlers) override;
    DelayedCall requestVersion(VersionHandler handler) override;
    void orderQuit() override;
    void orderReload() override;

private:
    void callAgent(const char* method);

    GObjectRef<GDBusConnection> m_bus;
};

} // namespace velmora::linux_desktop
