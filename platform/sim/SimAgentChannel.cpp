#include "platform/sim/SimAgentChannel.h"

#include "platform/sim/SimNotificationBus.h"
#include "platform/sim/SimRunLoop.h"

namespace velmora::sim {

namespace {

class SimClaim final : public AgentChannel::Claim {
public:
    SimClaim(std::weak_ptr<SimNotificationBus> bus, uint64_t id) : m_bus(std::move(bus)), m_id(id) { }
    ~SimClaim() override
    {
        if (auto bus = m_bus.lock())
            bus->releaseAgentName(m_id);
    }

private:
    std::weak_ptr<SimNotificationBus> m_bus;
    uint64_t m_id;
};

} // namespace

SimAgentChannel::SimAgentChannel(std::shared_ptr<SimNotificationBus> bus, SimRunLoop& runLoop)
    : m_bus(std::move(bus))
    , m_runLoop(runLoop)
{
}

SimAgentChannel::~SimAgentChannel() = default;

AgentChannel::ClaimOutcome SimAgentChannel::claim(const std::string& version, Orders orders)
{
    auto id = m_bus->claimAgentName(version, m_runLoop, std::move(orders));
    if (!id)
        return {ClaimResult::HeldByAnother, nullptr};
    return {ClaimResult::Owned, std::make_unique<SimClaim>(m_bus, *id)};
}

NotificationObservation SimAgentChannel::watch(WatchHandlers handlers)
{
    const uint64_t id = m_bus->watchAgentName(m_runLoop, std::move(handlers));
    return NotificationObservation([weak = std::weak_ptr<SimNotificationBus>(m_bus), id] {
        if (auto bus = weak.lock())
            bus->unwatchAgentName(id);
    });
}

DelayedCall SimAgentChannel::requestVersion(VersionHandler handler)
{
    std::optional<std::string> version;
    if (const auto& holder = m_bus->agentHolder())
        version = holder->version;
    return m_runLoop.performAfterDelay(0, [handler = std::move(handler), version] { handler(version); });
}

void SimAgentChannel::deliver(bool quit)
{
    m_ordersSent.push_back(quit ? "quit" : "reload");
    const auto& holder = m_bus->agentHolder();
    if (!holder)
        return;
    holder->runLoop->post(0, [weak = std::weak_ptr<Orders>(holder->orders), quit] {
        auto orders = weak.lock();
        if (!orders)
            return;
        if (quit && orders->quit)
            orders->quit();
        else if (!quit && orders->reload)
            orders->reload();
    });
}

void SimAgentChannel::orderQuit()
{
    deliver(true);
}

void SimAgentChannel::orderReload()
{
    deliver(false);
}

} // namespace velmora::sim
