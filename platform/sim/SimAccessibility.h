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
    AXElement createApplication(pid_t pid) override;
    AXElement createSystemWide() override;
    AXError copyAttributeNames(const AXElement& element, std::vector<std::string>& names) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& value) override;
    // Asked of the system-wide element: the frontmost application's windows
    // are searched first (top window first), then the other visible
    // applications'. Within a window the deepest live element whose frame
    // holds the point wins; among overlapping siblings the later one (drawn
    // on top). Frameless elements are looked through. NoValue when nothing
    // is there.
    AXError copyElementAtPosition(const AXElement& element, float x, float y, AXElement& result) override;
    AXError getPid(const AXElement& element, pid_t& pid) override;
    AXError createObserver(pid_t pid, AXObserver::Callback callback, std::unique_ptr<AXObserver>& observer) override;

    void setAPIEnabled(bool enabled) { m_enabled = enabled; }
    // Queues `notification` about `element` for every observer of the app
    // subscribed to it, on that element or on the application element.
    void post(SimApp& app, const std::string& notification, const AXElement& element);
    // Requests that reached any application.
    int requestCount() const { return m_requestCount; }

    // Observers register themselves for the length of their lives.
    struct Registry {
        std::vector<SimObserver*> observers; // not owned
    };

    // For SimObserver: the checks and the count one request to `app` makes.
    AXError beginRequest(SimApp& app);

private:
    // Resolves a node handle; on failure `error` says why.
    SimNode* nodeOf(const AXElement& element, AXError& error);

    SimDesktop& m_desktop;   // not owned; owns us
    SimRunLoop& m_runLoop;   // not owned; outlives us
    std::shared_ptr<Registry> m_registry;
    bool m_enabled{true};
    int m_requestCount{0};
};

} // namespace velmora::sim
