#include "platform/linux/AtspiObserverRegistry.h"

#include "platform/linux/AtspiObserver.h"
#include "platform/linux/AtspiTrace.h"

#include <vector>

namespace velmora::linux_desktop {

int AtspiObserverRegistry::add(AtspiObserver& observer)
{
    int id = m_nextId++;
    m_observers.emplace(id, &observer);
    return id;
}

void AtspiObserverRegistry::remove(int id)
{
    m_observers.erase(id);
}

void AtspiObserverRegistry::deliver(pid_t pid, const std::string& notification, const AccessibleElement& element)
{
    if (pid <= 0 || !element)
        return;
    // Walk ids, not iterators: a delivery may change the map.
    std::vector<int> ids;
    for (const auto& [id, observer] : m_observers) {
        if (observer->pid() == pid)
            ids.push_back(id);
    }
    VELMORA_TRACE("%s for %d: %zu observer(s)", notification.c_str(), static_cast<int>(pid), ids.size());
    for (int id : ids) {
        auto it = m_observers.find(id);
        if (it != m_observers.end() && it->second->wants(notification, element))
            it->second->deliver(element, notification);
    }
}

} // namespace velmora::linux_desktop
