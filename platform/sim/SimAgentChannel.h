#pragma once

#include "platform/AgentChannel.h"

#include <memory>
#include <set>
#include <string>

namespace velmora::sim {

class SimNotificationBus;
class SimRunLoop;

// One process's use of the agent's name on the simulated bus. Every answer
// and order arrives from the receiver's run loop, never inside the call.
class SimAgentChannel final : public AgentChannel {
public:
    SimAgentChannel(std::shared_ptr<SimNotificationBus> bus, SimRunLoop& runLoop);
    ~SimAgentChannel() override;
    SimAgentChannel(const SimAgentChannel&) = delete;
    SimAgentChannel& operator=(const SimAgentChannel&) = delete;

    // AgentChannel overrides.
    ClaimOutcome claim(const std::string& version, Orders orders) override;
    [[nodiscard]] NotificationObservation watch(WatchHandlers handlers) override;
    DelayedCall requestVersion(VersionHandler handler) override;
    void orderQuit() override;
    void orderReload() override;

    // Orders this process sent, in order ("quit", "reload").
    const std::vector<std::string>& ordersSent() const { return m_ordersSent; }

private:
    void deliver(bool quit);

    std::shared_ptr<SimNotificationBus> m_bus;
    SimRunLoop& m_runLoop; // not owned
    std::vector<std::string> m_ordersSent;
};

} // namespace velmora::sim
