#include "agent/accessibility/applicationInfo.h"

#include "platform/ElementReader.h"
#include "platform/Platform.h"

#include <algorithm>

namespace velmora {

namespace {

ElementReader reader()
{
    return ElementReader{Platform::current().accessibility()};
}

int triState(pid_t pid, const char* attribute)
{
    ElementReader ax = reader();
    ErrorOr<AXElement> app = ax.application(pid);
    if (app.isError())
        return -1;
    ErrorOr<bool> flag = ax.flag(app.value(), attribute);
    return flag.hasValue() ? (flag.value() ? 1 : 0) : -1;
}

} // namespace

AXValue applicationInfo::valueOfExistingAttribute(const std::string& attribute, const AXElement& element)
{
    return reader().advertisedValue(element, attribute).valueOr({});
}

AXElement applicationInfo::uiElementForPID(pid_t pid)
{
    return reader().application(pid).valueOr({});
}

std::string applicationInfo::titleOfElement(const AXElement& element)
{
    return reader().title(element).valueOr("");
}

std::string applicationInfo::roleOfElement(const AXElement& element)
{
    return reader().role(element).valueOr("");
}

std::string applicationInfo::descriptionOfElement(const AXElement& element)
{
    return reader().description(element).valueOr("");
}

std::string applicationInfo::titleOfApplicationForElement(const AXElement& element)
{
    ElementReader ax = reader();
    // Iterative: a malformed tree with a parent cycle must not exhaust the stack.
    AXElement current = element;
    for (int depth = 0; depth < 256; ++depth) {
        ErrorOr<AXElement> parent = ax.parent(current);
        if (parent.isError() || parent.value() == current)
            break;
        current = parent.value();
    }
    return ax.title(current).valueOr("");
}

std::vector<AXElement> applicationInfo::allWindowsForAppWithPID(pid_t pid)
{
    ElementReader ax = reader();
    ErrorOr<AXElement> app = ax.application(pid);
    if (app.isError())
        return {};
    return ax.windows(app.value()).valueOr({});
}

std::vector<AXElement> applicationInfo::allChildrenOfElement(const AXElement& element)
{
    return reader().children(element).valueOr({});
}

AXElement applicationInfo::focusedWindowRefForAppWithPID(pid_t pid)
{
    return readFocusedWindow(pid).valueOr({});
}

ErrorOr<AXElement> applicationInfo::readFocusedWindow(pid_t pid)
{
    ElementReader ax = reader();
    ErrorOr<AXElement> app = ax.application(pid);
    if (app.isError())
        return app;
    ErrorOr<AXElement> window = ax.focusedWindow(app.value());
    if (window.isError())
        return window;

    ErrorOr<std::vector<AXElement>> windows = ax.windows(app.value());
    if (windows.isError(ReadError::Hung))
        return ReadError::Hung;
    const std::vector<AXElement> listed = windows.valueOr({});
    if (listed.empty() || std::find(listed.begin(), listed.end(), window.value()) != listed.end())
        return window;

    // The focused window is not among the application's windows (a sheet or
    // a panel reported oddly): trust the focused element's top level instead,
    // but only if it really is a window.
    ErrorOr<AXElement> focusedElement = ax.element(app.value(), "AXFocusedUIElement");
    if (focusedElement.isError())
        return focusedElement.isError(ReadError::Hung) ? ErrorOr<AXElement>(ReadError::Hung) : window;
    ErrorOr<AXElement> topLevel = ax.element(focusedElement.value(), "AXTopLevelUIElement");
    if (topLevel.isError())
        return topLevel.isError(ReadError::Hung) ? ErrorOr<AXElement>(ReadError::Hung) : window;
    ErrorOr<std::string> role = ax.role(topLevel.value());
    if (role.isError(ReadError::Hung))
        return ReadError::Hung;
    if (role.valueOr("") == "AXWindow")
        return topLevel;
    return window;
}

AXElement applicationInfo::elementRefAtCarbonPoint(CarbonPoint point)
{
    return reader().elementAt(point).valueOr({});
}

bool applicationInfo::elementIsGone(const AXElement& element)
{
    if (!element)
        return false;
    // Its enabled state is what every backend has to ask the element itself.
    return reader().copiedValue(element, "AXEnabled").isError(ReadError::Gone);
}

bool applicationInfo::elementIsHidden(const AXElement& element)
{
    ErrorOr<bool> showing = reader().flag(element, "AXShowing");
    return showing.hasValue() && !showing.value();
}

pid_t applicationInfo::pidOfElement(const AXElement& element)
{
    return reader().pidOf(element).valueOr(-1);
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
    return reader().frontmostPid().valueOr(-1);
}

} // namespace velmora
