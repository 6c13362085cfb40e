#include "platform/sim/SimObserver.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimElementRef.h"
#include "platform/sim/SimRunLoop.h"

#include <algorithm>

namespace velmora::sim {

SimObserver::SimObserver(SimAccessibility& accessibility, SimRunLoop& runLoop,
    const std::shared_ptr<SimAccessibility::Registry>& registry, pid_t pid, Callback callback)
    : m_accessibility(accessibility)
    , m_runLoop(runLoop)
    , m_registry(registry)
    , m_pid(pid)
    , m_delivery(std::make_shared<Delivery>())
{
    m_delivery->callback = std::move(callback);
    registry->observers.push_back(this);
}

SimObserver::~SimObserver()
{
    if (auto registry = m_registry.lock())
        std::erase(registry->observers, this);
    // Scheduled deliveries find nothing once this is gone; one that is
    // running now keeps the state alive until it returns.
    m_delivery->queue.clear();
}

AccessibilityError SimObserver::addNotification(const AccessibleElement& element, const std::string& notification)
{
    auto ref = element.refAs<SimElementRef>();
    if (!ref || ref->isSystemWide())
        return AccessibilityError::IllegalArgument;
    SimNode& node = *ref->node();
    if (node.pid() != m_pid)
        return AccessibilityError::IllegalArgument;
    if (auto error = m_accessibility.beginRequest(node.app()); error != AccessibilityError::Success)
        return error;
    if (!node.isAlive())
        return AccessibilityError::InvalidUIElement;
    if (node.app().refusedNotifications.contains(notification))
        return AccessibilityError::NotificationUnsupported;
    for (const auto& [subscribed, name] : m_subscriptions)
        if (name == notification && subscribed == element)
            return AccessibilityError::NotificationAlreadyRegistered;
    m_subscriptions.emplace_back(element, notification);
    return AccessibilityError::Success;
}

void SimObserver::addToRunLoop()
{
    if (m_onRunLoop)
        return;
    m_onRunLoop = true;
    for (size_t i = 0; i < m_delivery->queue.size(); ++i)
        scheduleOne();
}

bool SimObserver::isSubscribed(const SimApp& app, const AccessibleElement& element, const std::string& notification) const
{
    // A subscription on the application element hears about all of its
    // elements, as on a real desktop.
    return std::any_of(m_subscriptions.begin(), m_subscriptions.end(), [&](const auto& subscription) {
        if (subscription.second != notification)
            return false;
        if (subscription.first == element)
            return true;
        auto ref = subscription.first.template refAs<SimElementRef>();
        return ref && ref->node() && ref->node() == app.root.get();
    });
}

void SimObserver::enqueue(const AccessibleElement& element, const std::string& notification)
{
    m_delivery->queue.emplace_back(element, notification);
    if (m_onRunLoop)
        scheduleOne();
}

void SimObserver::scheduleOne()
{
    m_deliveries.performAfterDelay(0, [this] {
        // Held for the call: the receiver may destroy the observer from it.
        std::shared_ptr<Delivery> delivery = m_delivery;
        if (delivery->queue.empty())
            return;
        auto [element, notification] = std::move(delivery->queue.front());
        delivery->queue.pop_front();
        delivery->callback(element, notification);
    });
}

} // namespace velmora::sim
