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
        registration.runLoop->performAfterDelay(0, [weak = std::weak_ptr<Handler>(registration.handler), name] {
            if (auto handler = weak.lock())
                (*handler)(name);
        });
    }
}

} // namespace velmora::sim
