#pragma once

#include "platform/AccessibleElement.h"
#include "platform/Accessibility.h"

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// One subscription to one process's accessibility notifications. Deliveries
// call respondToNotification(), which subclasses override. Construction is
// also the agent's only test of whether accessibility access is enabled.
class ApplicationObserver {
public:
    // Null when accessibility access is off. An instance whose platform
    // observer could not be made is still returned, but every
    // addNotification() on it fails. `accessibility` must outlive it.
    static std::unique_ptr<ApplicationObserver> create(Accessibility& accessibility, pid_t pid);
    // Null unless every name, in order, could be subscribed.
    static std::unique_ptr<ApplicationObserver> create(Accessibility& accessibility, pid_t pid,
                                                       const std::vector<std::string>& notifications);

    // No delivery reaches the instance once its destruction has begun.
    virtual ~ApplicationObserver();
    ApplicationObserver(const ApplicationObserver&) = delete;
    ApplicationObserver& operator=(const ApplicationObserver&) = delete;

    bool addNotification(const std::string& notification);
    bool addNotification(const std::string& notification, const AccessibleElement& element);

    // `element` is the one the delivery is about, not the application element.
    virtual void respondToNotification(const std::string& notification, const AccessibleElement& element);

    pid_t pid() const { return m_PID; }
    const AccessibleElement& appRef() const { return m_appRef; }
    bool hasObserver() const { return m_observer != nullptr; }

protected:
    // For subclasses: construction in two steps, as a subclass must exist
    // before deliveries can reach its override. Returns false when access is
    // off (the instance must then be discarded).
    explicit ApplicationObserver(Accessibility& accessibility) : m_accessibility(accessibility) { }
    bool initialize(pid_t pid);
    bool initialize(pid_t pid, const std::vector<std::string>& notifications);

private:
    bool setupObserver();

    Accessibility& m_accessibility;
    pid_t m_PID{0};
    AccessibleElement m_appRef;
    std::unique_ptr<AccessibilityObserver> m_observer; // owned; destroyed first so no delivery outlives us
};

} // namespace velmora
