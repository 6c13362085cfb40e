#pragma once

#include "platform/Accessibility.h"

#include <memory>
#include <vector>

namespace velmora::sim {

class SimDesktop;
class SimObserver;
class SimNode;
class SimRunLoop;
struct SimApp;

// The accessibility interface over the simulated trees. Requests fail the way
// a real desktop's do: APIDisabled while access is off, InvalidUIElement for
// an element that is gone, CannotComplete for an application that does not
// answer. Every request that reaches an application is counted on it
// (SimApp::requestCount), so tests can see what a query costs.
class SimAccessibility final : public Accessibility {
public:
    SimAccessibility(SimDesktop& desktop, SimRunLoop& runLoop);
    ~SimAccessibility() override;
    SimAccessibility(const SimAccessibility&) = delete;
    SimAccessibility& operator=(const SimAccessibility&) = delete;

    // Accessibility overrides.
    bool isAPIEnabled() override { return m_enabled; }
    // Empty for an unknown process and for one that is not accessible.
    AccessibleElement createApplication(pid_t pid) override;
    AccessibleElement createSystemWide() override;
    AccessibilityError copyAttributeNames(const AccessibleElement& element, std::vector<std::string>& names) override;
    AccessibilityError copyAttributeValue(const AccessibleElement& element, const std::string& attribute, AttributeValue& value) override;
    // Asked of the system-wide element: the frontmost application's windows
    // are searched first (top window first), then the other visible
    // applications'. Within a window the deepest live element whose frame
    // holds the point wins; among overlapping siblings the later one (drawn
    // on top). Frameless elements are looked through. NoValue when nothing
    // is there.
    AccessibilityError copyElementAtPosition(const AccessibleElement& element, float x, float y, AccessibleElement& result) override;
    AccessibilityError getPid(const AccessibleElement& element, pid_t& pid) override;
    AccessibilityError createObserver(pid_t pid, AccessibilityObserver::Callback callback, std::unique_ptr<AccessibilityObserver>& observer) override;

    void setAPIEnabled(bool enabled) { m_enabled = enabled; }
    // Queues `notification` about `element` for every observer of the app
    // subscribed to it, on that element or on the application element.
    void post(SimApp& app, const std::string& notification, const AccessibleElement& element);
    // Requests that reached any application.
    int requestCount() const { return m_requestCount; }

    // Observers register themselves for the length of their lives.
    struct Registry {
        std::vector<SimObserver*> observers; // not owned
    };

    // For SimObserver: the checks and the count one request to `app` makes.
    AccessibilityError beginRequest(SimApp& app);

private:
    // Resolves a node handle; on failure `error` says why.
    SimNode* nodeOf(const AccessibleElement& element, AccessibilityError& error);

    SimDesktop& m_desktop;   // not owned; owns us
    SimRunLoop& m_runLoop;   // not owned; outlives us
    std::shared_ptr<Registry> m_registry;
    bool m_enabled{true};
    int m_requestCount{0};
};

} // namespace velmora::sim
