#include "agent/accessibility/QK_AccessibilityObserver.h"

#include "platform/Platform.h"

namespace velmora {

std::unique_ptr<QK_AccessibilityObserver> QK_AccessibilityObserver::initWithPID(pid_t pid)
{
    std::unique_ptr<QK_AccessibilityObserver> observer(new QK_AccessibilityObserver);
    if (!observer->initialize(pid))
        return nullptr;
    return observer;
}

std::unique_ptr<QK_AccessibilityObserver> QK_AccessibilityObserver::initWithPID(pid_t pid, const std::vector<std::string>& notifications)
{
    std::unique_ptr<QK_AccessibilityObserver> observer(new QK_AccessibilityObserver);
    if (!observer->initialize(pid, notifications))
        return nullptr;
    return observer;
}

std::unique_ptr<QK_AccessibilityObserver> QK_AccessibilityObserver::initWithPID(pid_t pid, const std::string& notification)
{
    return initWithPID(pid, std::vector<std::string>{notification});
}

QK_AccessibilityObserver::~QK_AccessibilityObserver()
{
    // Subscriptions and queued deliveries go with the platform observer, before
    // anything else of ours is released.
    m_observer.reset();
}

bool QK_AccessibilityObserver::initialize(pid_t pid)
{
    Accessibility& ax = Platform::current().accessibility();
    if (!ax.isAPIEnabled())
        return false;
    m_PID = pid;
    m_appRef = ax.createApplication(pid);
    setupObserver();
    return true;
}

bool QK_AccessibilityObserver::initialize(pid_t pid, const std::vector<std::string>& notifications)
{
    if (!initialize(pid))
        return false;
    for (const std::string& name : notifications) {
        if (!addNotification(name))
            return false;
    }
    return true;
}

bool QK_AccessibilityObserver::setupObserver()
{
    Accessibility& ax = Platform::current().accessibility();
    std::unique_ptr<AXObserver> observer;
    // The observer is owned by this instance and destroyed first, so the
    // callback never sees a dangling `this`.
    AXError error = ax.createObserver(m_PID,
        [this](const AXElement& element, const std::string& notification) { respondToNotification(notification, element); },
        observer);
    if (error != AXError::Success || !observer)
        return false;
    m_observer = std::move(observer);
    m_observer->addToRunLoop();
    return true;
}

bool QK_AccessibilityObserver::addNotification(const std::string& notification)
{
    return addNotification(notification, m_appRef);
}

bool QK_AccessibilityObserver::addNotification(const std::string& notification, const AXElement& element)
{
    if (!m_observer)
        return false;
    return m_observer->addNotification(element, notification) == AXError::Success;
}

void QK_AccessibilityObserver::respondToNotification(const std::string&, const AXElement&)
{
}

} // namespace velmora
