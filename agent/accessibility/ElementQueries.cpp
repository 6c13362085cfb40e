#include "agent/accessibility/ElementQueries.h"

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
    ErrorOr<AccessibleElement> app = ax.application(pid);
    if (app.isError())
        return -1;
    ErrorOr<bool> flag = ax.flag(app.value(), attribute);
    return flag.hasValue() ? (flag.value() ? 1 : 0) : -1;
}

} // namespace

AttributeValue ElementQueries::valueOfExistingAttribute(const std::string& attribute, const AccessibleElement& element)
{
    return reader().advertisedValue(element, attribute).valueOr({});
}

AccessibleElement ElementQueries::uiElementForPID(pid_t pid)
{
    return reader().application(pid).valueOr({});
}

std::string ElementQueries::titleOfElement(const AccessibleElement& element)
{
    return reader().title(element).valueOr("");
}

std::string ElementQueries::roleOfElement(const AccessibleElement& element)
{
    return reader().role(element).valueOr("");
}

std::string ElementQueries::descriptionOfElement(const AccessibleElement& element)
{
    return reader().description(element).valueOr("");
}

std::string ElementQueries::titleOfApplicationForElement(const AccessibleElement& element)
{
    ElementReader ax = reader();
    // Iterative: a malformed tree with a parent cycle must not exhaust the stack.
    AccessibleElement current = element;
    for (int depth = 0; depth < 256; ++depth) {
        ErrorOr<AccessibleElement> parent = ax.parent(current);
        if (parent.isError() || parent.value() == current)
            break;
        current = parent.value();
    }
    return ax.title(current).valueOr("");
}

std::vector<AccessibleElement> ElementQueries::allWindowsForAppWithPID(pid_t pid)
{
    ElementReader ax = reader();
    ErrorOr<AccessibleElement> app = ax.application(pid);
    if (app.isError())
        return {};
    return ax.windows(app.value()).valueOr({});
}

std::vector<AccessibleElement> ElementQueries::allChildrenOfElement(const AccessibleElement& element)
{
    return reader().children(element).valueOr({});
}

AccessibleElement ElementQueries::focusedWindowRefForAppWithPID(pid_t pid)
{
    return readFocusedWindow(pid).valueOr({});
}

ErrorOr<AccessibleElement> ElementQueries::readFocusedWindow(pid_t pid)
{
    ElementReader ax = reader();
    ErrorOr<AccessibleElement> app = ax.application(pid);
    if (app.isError())
        return app;
    ErrorOr<AccessibleElement> window = ax.focusedWindow(app.value());
    if (window.isError())
        return window;

    ErrorOr<std::vector<AccessibleElement>> windows = ax.windows(app.value());
    if (windows.isError(ReadError::Hung))
        return ReadError::Hung;
    const std::vector<AccessibleElement> listed = windows.valueOr({});
    if (listed.empty() || std::find(listed.begin(), listed.end(), window.value()) != listed.end())
        return window;

    // The focused window is not among the application's windows (a sheet or
    // a panel reported oddly): trust the focused element's top level instead,
    // but only if it really is a window.
    ErrorOr<AccessibleElement> focusedElement = ax.element(app.value(), "AXFocusedUIElement");
    if (focusedElement.isError())
        return focusedElement.isError(ReadError::Hung) ? ErrorOr<AccessibleElement>(ReadError::Hung) : window;
    ErrorOr<AccessibleElement> topLevel = ax.element(focusedElement.value(), "AXTopLevelUIElement");
    if (topLevel.isError())
        return topLevel.isError(ReadError::Hung) ? ErrorOr<AccessibleElement>(ReadError::Hung) : window;
    ErrorOr<std::string> role = ax.role(topLevel.value());
    if (role.isError(ReadError::Hung))
        return ReadError::Hung;
    if (role.valueOr("") == "AXWindow")
        return topLevel;
    return window;
}

AccessibleElement ElementQueries::elementAt(Point point)
{
    return reader().elementAt(point).valueOr({});
}

bool ElementQueries::elementIsGone(const AccessibleElement& element)
{
    if (!element)
        return false;
    // Its enabled state is what every backend has to ask the element itself.
    return reader().copiedValue(element, "AXEnabled").isError(ReadError::Gone);
}

bool ElementQueries::elementIsHidden(const AccessibleElement& element)
{
    ErrorOr<bool> showing = reader().flag(element, "AXShowing");
    return showing.hasValue() && !showing.value();
}

pid_t ElementQueries::pidOfElement(const AccessibleElement& element)
{
    return reader().pidOf(element).valueOr(-1);
}

int ElementQueries::appWithPIDIsFrontmost(pid_t pid)
{
    return triState(pid, "AXFrontmost");
}

int ElementQueries::appWithPIDIsHidden(pid_t pid)
{
    return triState(pid, "AXHidden");
}

pid_t ElementQueries::pidOfFrontmostApp()
{
    return reader().frontmostPid().valueOr(-1);
}

} // namespace velmora
