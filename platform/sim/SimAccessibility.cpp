#include "platform/sim/SimAccessibility.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimElementRef.h"
#include "platform/sim/SimObserver.h"

#include <algorithm>

namespace velmora::sim {

namespace {

const char* const kSystemWideAttributes[] = {"AXRole", "AXFocusedApplication", "AXFocusedUIElement"};

// Frames are half-open: a point on the right or bottom edge is outside.
bool frameContains(const SimNode& node, float x, float y, bool& hasFrame)
{
    auto position = node.attribute("AXPosition");
    auto size = node.attribute("AXSize");
    Point origin;
    Size extent;
    hasFrame = false;
    if (position && size) {
        auto p = position->pointValue();
        auto s = size->sizeValue();
        if (p && s) {
            origin = *p;
            extent = *s;
            hasFrame = true;
        }
    }
    return hasFrame && x >= origin.x && x < origin.x + extent.width && y >= origin.y && y < origin.y + extent.height;
}

// The deepest live element at the point. A node with a frame clips its
// subtree; a frameless one (a plain group) is looked through.
std::shared_ptr<SimNode> hitTest(const std::shared_ptr<SimNode>& node, float x, float y)
{
    if (!node->isAlive())
        return nullptr;
    bool hasFrame = false;
    bool inside = frameContains(*node, x, y, hasFrame);
    if (hasFrame && !inside)
        return nullptr;
    const auto& children = node->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (auto hit = hitTest(*it, x, y))
            return hit;
    return inside ? node : nullptr;
}

} // namespace

SimAccessibility::SimAccessibility(SimDesktop& desktop, SimRunLoop& runLoop)
    : m_desktop(desktop)
    , m_runLoop(runLoop)
    , m_registry(std::make_shared<Registry>())
{
}

SimAccessibility::~SimAccessibility() = default;

AccessibleElement SimAccessibility::createApplication(pid_t pid)
{
    SimApp* app = m_desktop.app(pid);
    if (!app || !app->accessible || !app->root)
        return {};
    return app->root->element();
}

AccessibleElement SimAccessibility::createSystemWide()
{
    return SimElementRef::systemWide();
}

AccessibilityError SimAccessibility::beginRequest(SimApp& app)
{
    if (!m_enabled)
        return AccessibilityError::APIDisabled;
    ++app.requestCount;
    ++m_requestCount;
    return app.hung ? AccessibilityError::CannotComplete : AccessibilityError::Success;
}

SimNode* SimAccessibility::nodeOf(const AccessibleElement& element, AccessibilityError& error)
{
    auto ref = element.refAs<SimElementRef>();
    if (!ref || ref->isSystemWide()) {
        error = AccessibilityError::IllegalArgument;
        return nullptr;
    }
    SimNode* node = ref->node();
    error = beginRequest(node->app());
    if (error == AccessibilityError::Success && !node->isAlive())
        error = AccessibilityError::InvalidUIElement;
    return error == AccessibilityError::Success ? node : nullptr;
}

AccessibilityError SimAccessibility::copyAttributeNames(const AccessibleElement& element, std::vector<std::string>& names)
{
    names.clear();
    if (!m_enabled)
        return AccessibilityError::APIDisabled;
    if (auto ref = element.refAs<SimElementRef>(); ref && ref->isSystemWide()) {
        names.assign(std::begin(kSystemWideAttributes), std::end(kSystemWideAttributes));
        return AccessibilityError::Success;
    }
    AccessibilityError error;
    SimNode* node = nodeOf(element, error);
    if (!node)
        return error;
    names = node->attributeNames();
    return AccessibilityError::Success;
}

AccessibilityError SimAccessibility::copyAttributeValue(const AccessibleElement& element, const std::string& attribute, AttributeValue& value)
{
    value = {};
    if (!m_enabled)
        return AccessibilityError::APIDisabled;
    if (auto ref = element.refAs<SimElementRef>(); ref && ref->isSystemWide()) {
        if (attribute == "AXRole") {
            value = "AXSystemWide";
            return AccessibilityError::Success;
        }
        if (attribute != "AXFocusedApplication" && attribute != "AXFocusedUIElement")
            return AccessibilityError::AttributeUnsupported;
        SimApp* front = nullptr;
        for (SimApp* app : m_desktop.apps())
            if (app->frontmost && app->accessible && app->root)
                front = app;
        if (!front)
            return AccessibilityError::NoValue;
        if (attribute == "AXFocusedApplication") {
            value = front->root->element();
            return AccessibilityError::Success;
        }
        return copyAttributeValue(front->root->element(), "AXFocusedUIElement", value);
    }
    AccessibilityError error;
    SimNode* node = nodeOf(element, error);
    if (!node)
        return error;
    if (auto stored = node->attribute(attribute)) {
        value = std::move(*stored);
        return AccessibilityError::Success;
    }
    auto names = node->attributeNames();
    bool advertised = std::find(names.begin(), names.end(), attribute) != names.end();
    return advertised ? AccessibilityError::NoValue : AccessibilityError::AttributeUnsupported;
}

AccessibilityError SimAccessibility::copyElementAtPosition(const AccessibleElement& element, float x, float y, AccessibleElement& result)
{
    result.reset();
    if (!m_enabled)
        return AccessibilityError::APIDisabled;
    auto ref = element.refAs<SimElementRef>();
    if (!ref)
        return AccessibilityError::IllegalArgument;

    std::vector<SimApp*> candidates;
    if (ref->isSystemWide()) {
        // Front to back: the frontmost application's windows lie above all others.
        for (SimApp* app : m_desktop.apps())
            if (!app->hidden)
                candidates.insert(app->frontmost ? candidates.begin() : candidates.end(), app);
    } else {
        SimNode* node = ref->node();
        if (node != node->app().root.get())
            return AccessibilityError::IllegalArgument;
        if (auto error = beginRequest(node->app()); error != AccessibilityError::Success)
            return error;
        if (!node->isAlive())
            return AccessibilityError::InvalidUIElement;
        candidates.push_back(&node->app());
    }

    for (SimApp* app : candidates) {
        for (const auto& window : app->windows) {
            if (!window)
                continue;
            auto hit = hitTest(window, x, y);
            if (!hit)
                continue;
            if (ref->isSystemWide()) {
                // The window server found the window; its owner is asked for the element.
                if (auto error = beginRequest(*app); error != AccessibilityError::Success)
                    return error;
                if (!app->accessible)
                    return AccessibilityError::CannotComplete;
            }
            result = hit->element();
            return AccessibilityError::Success;
        }
    }
    return AccessibilityError::NoValue;
}

AccessibilityError SimAccessibility::getPid(const AccessibleElement& element, pid_t& pid)
{
    // Answered from the handle itself, like a real reference: no request.
    auto ref = element.refAs<SimElementRef>();
    if (!ref || ref->isSystemWide())
        return AccessibilityError::IllegalArgument;
    pid = ref->node()->pid();
    return AccessibilityError::Success;
}

AccessibilityError SimAccessibility::createObserver(pid_t pid, AccessibilityObserver::Callback callback, std::unique_ptr<AccessibilityObserver>& observer)
{
    observer.reset();
    if (!m_enabled)
        return AccessibilityError::APIDisabled;
    SimApp* app = m_desktop.app(pid);
    if (!app)
        return AccessibilityError::IllegalArgument;
    if (!app->accessible)
        return AccessibilityError::CannotComplete;
    observer = std::make_unique<SimObserver>(*this, m_runLoop, m_registry, pid, std::move(callback));
    return AccessibilityError::Success;
}

void SimAccessibility::post(SimApp& app, const std::string& notification, const AccessibleElement& element)
{
    // A delivery only queues, so the list cannot change under this loop.
    for (SimObserver* observer : m_registry->observers)
        if (observer->pid() == app.info.pid && observer->isSubscribed(app, element, notification))
            observer->enqueue(element, notification);
}

} // namespace velmora::sim
