#include "platform/linux/AtspiObserver.h"

#include "platform/linux/AtspiObserverRegistry.h"

#include <algorithm>
#include <array>

namespace velmora::linux_desktop {

AtspiObserver::AtspiObserver(AtspiObserverRegistry& registry, pid_t pid, AccessibleElement application, Callback callback)
    : m_registry(registry)
    , m_pid(pid)
    , m_application(std::move(application))
    , m_callback(std::move(callback))
{
    m_id = m_registry.add(*this);
}

AtspiObserver::~AtspiObserver()
{
    m_registry.remove(m_id);
}

// static
bool AtspiObserver::isSupported(const std::string& notification)
{
    static const std::array<const char*, 9> kSupported = {
        "AXFocusedUIElementChanged", "AXFocusedWindowChanged", "AXMainWindowChanged", "AXWindowCreated",
        "AXApplicationActivated", "AXApplicationDeactivated", "AXApplicationShown", "AXApplicationHidden",
        "AXUIElementDestroyed",
    };
    return std::find(kSupported.begin(), kSupported.end(), notification) != kSupported.end();
}

AccessibilityError AtspiObserver::addNotification(const AccessibleElement& element, const std::string& notification)
{
    if (!element)
        return AccessibilityError::IllegalArgument;
    if (!isSupported(notification))
        return AccessibilityError::NotificationUnsupported;
    for (const auto& [e, n] : m_subscriptions) {
        if (n == notification && e == element)
            return AccessibilityError::NotificationAlreadyRegistered;
    }
    m_subscriptions.emplace_back(element, notification);
    return AccessibilityError::Success;
}

void AtspiObserver::addToRunLoop()
{
    m_onRunLoop = true;
}

bool AtspiObserver::wants(const std::string& notification, const AccessibleElement& element) const
{
    if (!m_onRunLoop)
        return false;
    return std::any_of(m_subscriptions.begin(), m_subscriptions.end(), [&](const auto& subscription) {
        return subscription.second == notification && (subscription.first == m_application || subscription.first == element);
    });
}

void AtspiObserver::deliver(const AccessibleElement& element, const std::string& notification)
{
    auto callback = m_callback;
    callback(element, notification);
}

} // namespace velmora::linux_desktop
