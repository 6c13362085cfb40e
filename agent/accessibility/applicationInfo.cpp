#include "agent/accessibility/applicationInfo.h"

#include "platform/Platform.h"

#include <algorithm>
#include <optional>

namespace velmora {

namespace {

Accessibility& ax()
{
    return Platform::current().accessibility();
}

// A direct copy, without asking whether the element advertises the attribute.
AXValue copyAttribute(const AXElement& element, const std::string& attribute)
{
    AXValue value;
    if (!element || ax().copyAttributeValue(element, attribute, value) != AXError::Success)
        return {};
    return value;
}

std::string stringAttribute(const AXElement& element, const std::string& attribute)
{
    return copyAttribute(element, attribute).description();
}

std::vector<AXElement> elementList(const AXValue& value)
{
    std::vector<AXElement> result;
    const AXValue::Array* items = value.array();
    // Only the first entry's kind is tested, as callers have always relied on.
    if (!items || items->empty() || !(*items)[0].element())
        return result;
    result.reserve(items->size());
    for (const AXValue& item : *items) {
        if (const AXElement* element = item.element())
            result.push_back(*element);
        else
            result.push_back(AXElement()); // keeps positions; an empty handle matches nothing
    }
    return result;
}

int triState(pid_t pid, const char* attribute)
{
    AXElement app = applicationInfo::uiElementForPID(pid);
    if (!app)
        return -1;
    auto flag = applicationInfo::valueOfExistingAttribute(attribute, app).boolValue();
    return flag ? (*flag ? 1 : 0) : -1;
}

} // namespace

AXValue applicationInfo::valueOfExistingAttribute(const std::string& attribute, const AXElement& element)
{
    if (!element)
        return {};
    std::vector<std::string> names;
    if (ax().copyAttributeNames(element, names) != AXError::Success)
        return {};
    if (std::find(names.begin(), names.end(), attribute) == names.end())
        return {};
    return copyAttribute(element, attribute);
}

AXElement applicationInfo::uiElementForPID(pid_t pid)
{
    return ax().createApplication(pid);
}

std::string applicationInfo::titleOfElement(const AXElement& element)
{
    return stringAttribute(element, "AXTitle");
}

std::string applicationInfo::roleOfElement(const AXElement& element)
{
    return stringAttribute(element, "AXRole");
}

std::string applicationInfo::descriptionOfElement(const AXElement& element)
{
    return stringAttribute(element, "AXDescription");
}

std::string applicationInfo::titleOfApplicationForElement(const AXElement& element)
{
    // Iterative: a malformed tree with a parent cycle must not exhaust the stack.
    AXElement current = element;
    for (int depth = 0; depth < 256; ++depth) {
        const AXElement* parent = nullptr;
        AXValue value = copyAttribute(current, "AXParent");
        parent = value.element();
        if (!parent || !*parent || *parent == current)
            break;
        current = *parent;
    }
    return titleOfElement(current);
}

std::vector<AXElement> applicationInfo::allWindowsForAppWithPID(pid_t pid)
{
    AXElement app = uiElementForPID(pid);
    if (!app)
        return {};
    return elementList(copyAttribute(app, "AXWindows"));
}

std::vector<AXElement> applicationInfo::allChildrenOfElement(const AXElement& element)
{
    return elementList(copyAttribute(element, "AXChildren"));
}

AXElement applicationInfo::focusedWindowRefForAppWithPID(pid_t pid)
{
    AXElement app = uiElementForPID(pid);
    if (!app)
        return {};
    const AXElement* focused = nullptr;
    AXValue focusedValue = valueOfExistingAttribute("AXFocusedWindow", app);
    focused = focusedValue.element();
    if (!focused || !*focused)
        return {};
    AXElement window = *focused;

    std::vector<AXElement> windows = allWindowsForAppWithPID(pid);
    if (windows.empty() || std::find(windows.begin(), windows.end(), window) != windows.end())
        return window;

    // The focused window is not among the application's windows (a sheet or
    // a panel reported oddly): trust the focused element's top level instead,
    // but only if it really is a window.
    AXValue focusedElementValue = valueOfExistingAttribute("AXFocusedUIElement", app);
    const AXElement* focusedElement = focusedElementValue.element();
    if (!focusedElement || !*focusedElement)
        return window;
    AXValue topLevelValue = valueOfExistingAttribute("AXTopLevelUIElement", *focusedElement);
    const AXElement* topLevel = topLevelValue.element();
    if (!topLevel || !*topLevel)
        return window;
    if (roleOfElement(*topLevel) == "AXWindow")
        return *topLevel;
    return window;
}

AXElement applicationInfo::elementRefAtCarbonPoint(CarbonPoint point)
{
    AXElement systemWide = ax().createSystemWide();
    if (!systemWide)
        return {};
    AXElement result;
    if (ax().copyElementAtPosition(systemWide, static_cast<float>(point.h), static_cast<float>(point.v), result) != AXError::Success)
        return {};
    return result;
}

bool applicationInfo::elementIsGone(const AXElement& element)
{
    if (!element)
        return false;
    // Its enabled state is what every backend has to ask the element itself.
    AXValue value;
    return ax().copyAttributeValue(element, "AXEnabled", value) == AXError::InvalidUIElement;
}

bool applicationInfo::elementIsHidden(const AXElement& element)
{
    std::optional<bool> showing = valueOfExistingAttribute("AXShowing", element).boolValue();
    return showing.has_value() && !*showing;
}

pid_t applicationInfo::pidOfElement(const AXElement& element)
{
    pid_t pid = -1;
    if (!element || ax().getPid(element, pid) != AXError::Success || pid <= 0)
        return -1;
    return pid;
}

int applicationInfo::appWithPIDIsFrontmost(pid_t pid)
{
    return triState(pid, "AXFrontmost");
}

int applicationInfo::appWithPIDIsHidden(pid_t pid)
{
    return triState(pid, "AXHidden");
}

pid_t applicationInfo::pidOfFrontmostApp()
{
    AXElement systemWide = ax().createSystemWide();
    const AXElement* app = nullptr;
    AXValue value = copyAttribute(systemWide, "AXFocusedApplication");
    app = value.element();
    pid_t pid = -1;
    if (!app || !*app || ax().getPid(*app, pid) != AXError::Success)
        return -1;
    return pid;
}

} // namespace velmora
