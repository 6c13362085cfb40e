#pragma once

#include "platform/Accessibility.h"
#include "platform/DelayedCallGroup.h"
#include "platform/sim/SimAccessibility.h"
#include "platform/sim/SimRunLoop.h"

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace velmora::sim {

// An accessibility observer of one simulated process. Notifications the
// process posts are queued here and handed to the callback one per run-loop
// pass, and only once the observer is on the run loop. Destroying it drops
// whatever is still queued.
class SimObserver final : public AccessibilityObserver {
public:
    SimObserver(SimAccessibility& accessibility, SimRunLoop& runLoop,
        const std::shared_ptr<SimAccessibility::Registry>& registry, pid_t pid, Callback callback);
    ~SimObserver() override;
    SimObserver(const SimObserver&) = delete;
    SimObserver& operator=(const SimObserver&) = delete;

    // AccessibilityObserver overrides.
    // Fails with IllegalArgument for an empty element or one of another
    // process, InvalidUIElement for a dead one, CannotComplete while the app
    // hangs, NotificationUnsupported for a name the app refuses.
    AccessibilityError addNotification(const AccessibleElement& element, const std::string& notification) override;
    void addToRunLoop() override;

    pid_t pid() const { return m_pid; }
    // Whether a notification about `element` reaches this observer.
    bool isSubscribed(const SimApp& app, const AccessibleElement& element, const std::string& notification) const;
    // Queues one delivery.
    void enqueue(const AccessibleElement& element, const std::string& notification);
    size_t queuedCount() const { return m_delivery->queue.size(); }

private:
    // What a delivery reaches; shared so that it outlives an observer
    // destroyed from inside its own callback.
    struct Delivery {
        Callback callback;
        std::deque<std::pair<AccessibleElement, std::string>> queue;
    };

    void scheduleOne();

    SimAccessibility& m_accessibility;                     // not owned; the backend outlives its observers' use
    SimRunLoop& m_runLoop;                                 // not owned
    std::weak_ptr<SimAccessibility::Registry> m_registry;  // where we are listed
    pid_t m_pid;
    std::shared_ptr<Delivery> m_delivery;
    std::vector<std::pair<AccessibleElement, std::string>> m_subscriptions;
    bool m_onRunLoop{false};
    DelayedCallGroup m_deliveries{m_runLoop}; // nothing runs once the observer is gone
};

} // namespace velmora::sim
