#include "agent/accessibility/ApplicationObserver.h"

namespace velmora {

std::unique_ptr<ApplicationObserver> ApplicationObserver::create(Accessibility& accessibility, pid_t pid)
{
    std::unique_ptr<ApplicationObserver> observer(new ApplicationObserver(accessibility));
    if (!observer->initialize(pid))
        return nullptr;
    return observer;
}

std::unique_ptr<ApplicationObserver> ApplicationObserver::create(Accessibility& accessibility, pid_t pid,
                                                                 const std::vector<std::string>& notifications)
{
    std::unique_ptr<ApplicationObserver> observer(new ApplicationObserver(accessibility));
    if (!observer->initialize(pid, notifications))
        return nullptr;
    return observer;
}

ApplicationObserver::~ApplicationObserver()
{
    // Subscriptions and queued deliveries go with the platform observer, before
    // anything else of ours is released.
    m_observer.reset();
}

bool ApplicationObserver::initialize(pid_t pid)
{
    Accessibility& ax = m_accessibility;
    if (!ax.isAPIEnabled())
        return false;
    m_PID = pid;
    m_appRef = ax.createApplication(pid);
    setupObserver();
    return true;
}

bool ApplicationObserver::initialize(pid_t pid, const std::vector<std::string>& notifications)
{
    if (!initialize(pid))
        return false;
    for (const std::string& name : notifications) {
        if (!addNotification(name))
            return false;
    }
    return true;
}

bool ApplicationObserver::setupObserver()
{
    Accessibility& ax = m_accessibility;
    std::unique_ptr<AccessibilityObserver> observer;
    // The observer is owned by this instance and destroyed first, so the
    // callback never sees a dangling `this`.
    AccessibilityError error = ax.createObserver(m_PID,
        [this](const AccessibleElement& element, const std::string& notification) { respondToNotification(notification, element); },
        observer);
    if (error != AccessibilityError::Success || !observer)
        return false;
    m_observer = std::move(observer);
    m_observer->addToRunLoop();
    return true;
}

bool ApplicationObserver::addNotification(const std::string& notification)
{
    return addNotification(notification, m_appRef);
}

bool ApplicationObserver::addNotification(const std::string& notification, const AccessibleElement& element)
{
    if (!m_observer)
        return false;
    return m_observer->addNotification(element, notification) == AccessibilityError::Success;
}

void ApplicationObserver::respondToNotification(const std::string&, const AccessibleElement&)
{
}

} // namespace velmora
