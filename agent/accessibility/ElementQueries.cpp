#include "agent/accessibility/ElementQueries.h"

#include "platform/ElementReader.h"

#include <algorithm>

namespace velmora {

AttributeValue ElementQueries::advertisedValue(const std::string& attribute, const AccessibleElement& element) const
{
    return ElementReader{m_accessibility}.advertisedValue(element, attribute).valueOr({});
}

AccessibleElement ElementQueries::applicationElement(pid_t pid) const
{
    return ElementReader{m_accessibility}.application(pid).valueOr({});
}

std::string ElementQueries::title(const AccessibleElement& element) const
{
    return ElementReader{m_accessibility}.title(element).valueOr("");
}

ErrorOr<AccessibleElement> ElementQueries::focusedWindow(pid_t pid) const
{
    ElementReader ax{m_accessibility};
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

AccessibleElement ElementQueries::elementAt(Point point) const
{
    return ElementReader{m_accessibility}.elementAt(point).valueOr({});
}

bool ElementQueries::isGone(const AccessibleElement& element) const
{
    if (!element)
        return false;
    // Its enabled state is what every backend has to ask the element itself.
    return ElementReader{m_accessibility}.copiedValue(element, "AXEnabled").isError(ReadError::Gone);
}

pid_t ElementQueries::pidOf(const AccessibleElement& element) const
{
    return ElementReader{m_accessibility}.pidOf(element).valueOr(-1);
}

} // namespace velmora
