#pragma once

#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace velmora::linux_desktop {

// The applications that stopped answering. Once a request to an application
// times out, it is asked nothing more until it answers an asynchronous
// org.freedesktop.DBus.Peer.Ping (sent again after each ping's own timeout),
// so a frozen application costs the agent one timeout, not one per request.
// An application that leaves the bus also leaves the ledger (the ping then
// fails at once). Pings run on the thread-default main loop.
class HungAppLedger {
public:
    // `bus` is the accessibility bus; null leaves an application marked hung
    // until forgotten (used only where no bus can be had).
    explicit HungAppLedger(GObjectRef<GDBusConnection> bus);
    ~HungAppLedger();
    HungAppLedger(const HungAppLedger&) = delete;
    HungAppLedger& operator=(const HungAppLedger&) = delete;

    bool isHung(const std::string& busName) const;
    // Starts pinging unless already pinging that application.
    void markHung(const std::string& busName);
    void forget(const std::string& busName);
    size_t hungCount() const;
    // Called with an application's bus name when it answers a ping again.
    void setRecoveryHandler(std::function<void(const std::string& busName)> handler);
    // Pings sent so far, for tests.
    int pingCount() const;

private:
    struct State;
    struct PingContext;
    static void sendPing(const std::shared_ptr<State>& state, const std::string& busName);
    static void onPingDone(GObject* source, GAsyncResult* result, gpointer data);

    std::shared_ptr<State> m_state;
};

} // namespace velmora::linux_desktop
