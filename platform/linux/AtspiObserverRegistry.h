#pragma once

#include "platform/AccessibleElement.h"

#include <map>
#include <string>
#include <sys/types.h>

namespace velmora::linux_desktop {

class AtspiObserver;

// The live observers, each registered for as long as it lives. Deliveries
// go to the observers of the event's process that want the notification.
class AtspiObserverRegistry {
public:
    AtspiObserverRegistry() = default;
    AtspiObserverRegistry(const AtspiObserverRegistry&) = delete;
    AtspiObserverRegistry& operator=(const AtspiObserverRegistry&) = delete;

    // `observer` is borrowed until remove(id).
    int add(AtspiObserver& observer);
    void remove(int id);
    // An observer's callback may create or destroy observers: one destroyed
    // during a delivery is not called afterwards; one created during it is
    // not called for this notification.
    void deliver(pid_t pid, const std::string& notification, const AccessibleElement& element);
    size_t count() const { return m_observers.size(); }

private:
    std::map<int, AtspiObserver*> m_observers; // not owned; each removes itself when destroyed
    int m_nextId{1};
};

} // namespace velmora::linux_desktop
