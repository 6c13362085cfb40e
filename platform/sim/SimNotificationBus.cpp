#include "platform/sim/SimNotificationBus.h"

#include "platform/sim/SimRunLoop.h"

namespace velmora::sim {

uint64_t SimNotificationBus::add(std::string name, SimRunLoop& runLoop, Handler handler)
{
    uint64_t id = m_nextId++;
    m_registrations.push_back({id, std::move(name), &runLoop, std::make_shared<Handler>(std::move(handler))});
    return id;
}

void SimNotificationBus::remove(uint64_t id)
{
    std::erase_if(m_registrations, [id](const Registration& r) { return r.id == id; });
}

void SimNotificationBus::post(const std::string& name)
{
    for (const auto& registration : m_registrations) {
        if (registration.name != name)
            continue;
        registration.runLoop->post(0, [weak = std::weak_ptr<Handler>(registration.handler), name] {
            if (auto handler = weak.lock())
                (*handler)(name);
        });
    }
}

std::optional<uint64_t> SimNotificationBus::claimAgentName(std::string version, SimRunLoop& runLoop, AgentChannel::Orders orders)
{
    if (m_agentHolder)
        return std::nullopt;
    const uint64_t id = m_nextId++;
    m_agentHolder = AgentHolder{id, std::move(version), &runLoop, std::make_shared<AgentChannel::Orders>(std::move(orders))};
    tellAgentWatchers(true);
    return id;
}

void SimNotificationBus::releaseAgentName(uint64_t id)
{
    if (!m_agentHolder || m_agentHolder->id != id)
        return;
    m_agentHolder.reset();
    tellAgentWatchers(false);
}

uint64_t SimNotificationBus::watchAgentName(SimRunLoop& runLoop, AgentChannel::WatchHandlers handlers)
{
    const uint64_t id = m_nextId++;
    m_agentWatchers.push_back({id, &runLoop, std::make_shared<AgentChannel::WatchHandlers>(std::move(handlers))});
    if (!m_answersWatchers)
        return id;
    // The first answer says who holds the name now, as the session bus does.
    const bool held = m_agentHolder.has_value();
    runLoop.post(0, [weak = std::weak_ptr<AgentChannel::WatchHandlers>(m_agentWatchers.back().handlers), held] {
        if (auto handlers = weak.lock(); handlers && (held ? handlers->appeared : handlers->vanished))
            (held ? handlers->appeared : handlers->vanished)();
    });
    return id;
}

void SimNotificationBus::unwatchAgentName(uint64_t id)
{
    std::erase_if(m_agentWatchers, [id](const AgentWatcher& watcher) { return watcher.id == id; });
}

void SimNotificationBus::tellAgentWatchers(bool appeared)
{
    for (const auto& watcher : m_agentWatchers) {
        watcher.runLoop->post(0, [weak = std::weak_ptr<AgentChannel::WatchHandlers>(watcher.handlers), appeared] {
            if (auto handlers = weak.lock(); handlers && (appeared ? handlers->appeared : handlers->vanished))
                (appeared ? handlers->appeared : handlers->vanished)();
        });
    }
}

} // namespace velmora::sim
