#pragma once

#include "platform/Accessibility.h"

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace velmora::linux_desktop {

class AtspiObserverRegistry;

// One process's subscriptions. The events themselves are received once for
// all observers by the backend, whose AtspiObserverRegistry hands each to the
// observers of the event's process; this object only says which names, about which
// elements, it wants. Destroying it unregisters it, so no delivery (queued or
// not) reaches the callback afterwards.
class AtspiObserver final : public AccessibilityObserver {
public:
    // `registry` is borrowed and outlives the observer.
    AtspiObserver(AtspiObserverRegistry& registry, pid_t pid, AccessibleElement application, Callback callback);
    ~AtspiObserver() override;
    AtspiObserver(const AtspiObserver&) = delete;
    AtspiObserver& operator=(const AtspiObserver&) = delete;

    // The notifications the backend can report; others are NotificationUnsupported.
    static bool isSupported(const std::string& notification);

    AccessibilityError addNotification(const AccessibleElement& element, const std::string& notification) override;
    void addToRunLoop() override;

    pid_t pid() const { return m_pid; }
    // Whether a delivery of `notification` about `element` is wanted: the
    // name is subscribed on the application element (every element of the
    // process) or on that very element.
    bool wants(const std::string& notification, const AccessibleElement& element) const;
    // Calls the callback (a copy, so the callback may destroy this observer).
    void deliver(const AccessibleElement& element, const std::string& notification);

private:
    AtspiObserverRegistry& m_registry;
    pid_t m_pid;
    AccessibleElement m_application;
    Callback m_callback;
    std::vector<std::pair<AccessibleElement, std::string>> m_subscriptions;
    bool m_onRunLoop{false};
    int m_id{0};
};

} // namespace velmora::linux_desktop
