#include "platform/sim/SimSessionBroadcast.h"

#include "platform/sim/SimNotificationBus.h"

namespace velmora::sim {

SimSessionBroadcast::SimSessionBroadcast(std::shared_ptr<SimNotificationBus> bus, SimRunLoop& runLoop)
    : m_bus(std::move(bus))
    , m_runLoop(runLoop)
    , m_ids(std::make_shared<std::set<uint64_t>>())
{
}

SimSessionBroadcast::~SimSessionBroadcast()
{
    // The bus may be shared and outlive us; it must not deliver to our loop.
    for (uint64_t id : *m_ids)
        m_bus->remove(id);
}

NotificationObservation SimSessionBroadcast::addObserver(const std::string& name, Handler handler)
{
    uint64_t id = m_bus->add(name, m_runLoop, std::move(handler));
    m_ids->insert(id);
    return NotificationObservation([weakBus = std::weak_ptr<SimNotificationBus>(m_bus),
                                       weakIds = std::weak_ptr<std::set<uint64_t>>(m_ids), id] {
        auto ids = weakIds.lock();
        if (!ids)
            return; // the centre is gone and took its registrations with it
        ids->erase(id);
        if (auto bus = weakBus.lock())
            bus->remove(id);
    });
}

void SimSessionBroadcast::postNotificationName(const std::string& name)
{
    m_posted.push_back(name);
    m_bus->post(name);
}

} // namespace velmora::sim
