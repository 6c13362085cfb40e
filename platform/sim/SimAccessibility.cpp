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
    CGPoint origin;
    CGSize extent;
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

AXElement SimAccessibility::createApplication(pid_t pid)
{
    SimApp* app = m_desktop.app(pid);
    if (!app || !app->accessible || !app->root)
        return {};
    return app->root->element();
}

AXElement SimAccessibility::createSystemWide()
{
    return SimElementRef::systemWide();
}

AXError SimAccessibility::beginRequest(SimApp& app)
{
    if (!m_enabled)
        return AXError::APIDisabled;
    ++app.requestCount;
    ++m_requestCount;
    return app.hung ? AXError::CannotComplete : AXError::Success;
}

SimNode* SimAccessibility::nodeOf(const AXElement& element, AXError& error)
{
    auto ref = element.refAs<SimElementRef>();
    if (!ref || ref->isSystemWide()) {
        error = AXError::IllegalArgument;
        return nullptr;
    }
    SimNode* node = ref->node();
    error = beginRequest(node->app());
    if (error == AXError::Success && !node->isAlive())
        error = AXError::InvalidUIElement;
    return error == AXError::Success ? node : nullptr;
}

AXError SimAccessibility::copyAttributeNames(const AXElement& element, std::vector<std::string>& names)
{
    names.clear();
    if (!m_enabled)
        return AXError::APIDisabled;
    if (auto ref = element.refAs<SimElementRef>(); ref && ref->isSystemWide()) {
        names.assign(std::begin(kSystemWideAttributes), std::end(kSystemWideAttributes));
        return AXError::Success;
    }
    AXError error;
    SimNode* node = nodeOf(element, error);
    if (!node)
        return error;
    names = node->attributeNames();
    return AXError::Success;
}

AXError SimAccessibility::copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& value)
{
    value = {};
    if (!m_enabled)
        return AXError::APIDisabled;
    if (auto ref = element.refAs<SimElementRef>(); ref && ref->isSystemWide()) {
        if (attribute == "AXRole") {
            value = "AXSystemWide";
            return AXError::Success;
        }
        if (attribute != "AXFocusedApplication" && attribute != "AXFocusedUIElement")
            return AXError::AttributeUnsupported;
        SimApp* front = nullptr;
        for (SimApp* app : m_desktop.apps())
            if (app->frontmost && app->accessible && app->root)
                front = app;
        if (!front)
            return AXError::NoValue;
        if (attribute == "AXFocusedApplication") {
            value = front->root->element();
            return AXError::Success;
        }
        return copyAttributeValue(front->root->element(), "AXFocusedUIElement", value);
    }
    AXError error;
    SimNode* node = nodeOf(element, error);
    if (!node)
        return error;
    if (auto stored = node->attribute(attribute)) {
        value = std::move(*stored);
        return AXError::Success;
    }
    auto names = node->attributeNames();
    bool advertised = std::find(names.begin(), names.end(), attribute) != names.end();
    return advertised ? AXError::NoValue : AXError::AttributeUnsupported;
}

AXError SimAccessibility::copyElementAtPosition(const AXElement& element, float x, float y, AXElement& result)
{
    result.reset();
    if (!m_enabled)
        return AXError::APIDisabled;
    auto ref = element.refAs<SimElementRef>();
    if (!ref)
        return AXError::IllegalArgument;

    std::vector<SimApp*> candidates;
    if (ref->isSystemWide()) {
        // Front to back: the frontmost application's windows lie above all others.
        for (SimApp* app : m_desktop.apps())
            if (!app->hidden)
                candidates.insert(app->frontmost ? candidates.begin() : candidates.end(), app);
    } else {
        SimNode* node = ref->node();
        if (node != node->app().root.get())
            return AXError::IllegalArgument;
        if (auto error = beginRequest(node->app()); error != AXError::Success)
            return error;
        if (!node->isAlive())
            return AXError::InvalidUIElement;
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
                if (auto error = beginRequest(*app); error != AXError::Success)
                    return error;
                if (!app->accessible)
                    return AXError::CannotComplete;
            }
            result = hit->element();
            return AXError::Success;
        }
    }
    return AXError::NoValue;
}

AXError SimAccessibility::getPid(const AXElement& element, pid_t& pid)
{
    // Answered from the handle itself, like a real reference: no request.
    auto ref = element.refAs<SimElementRef>();
    if (!ref || ref->isSystemWide())
        return AXError::IllegalArgument;
    pid = ref->node()->pid();
    return AXError::Success;
}

AXError SimAccessibility::createObserver(pid_t pid, AXObserver::Callback callback, std::unique_ptr<AXObserver>& observer)
{
    observer.reset();
    if (!m_enabled)
        return AXError::APIDisabled;
    SimApp* app = m_desktop.app(pid);
    if (!app)
        return AXError::IllegalArgument;
    if (!app->accessible)
        return AXError::CannotComplete;
    observer = std::make_unique<SimObserver>(*this, m_runLoop, m_registry, pid, std::move(callback));
    return AXError::Success;
}

void SimAccessibility::post(SimApp& app, const std::string& notification, const AXElement& element)
{
    // A delivery only queues, so the list cannot change under this loop.
    for (SimObserver* observer : m_registry->observers)
        if (observer->pid() == app.info.pid && observer->isSubscribed(app, element, notification))
            observer->enqueue(element, notification);
}

} // namespace velmora::sim
