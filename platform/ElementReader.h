#pragma once

#include "platform/Accessibility.h"
#include "platform/ErrorOr.h"
#include "platform/Geometry.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// Typed reads of accessibility attributes: one call per attribute, giving the
// value or the ReadError that says why there is none. A thin layer over the
// Accessibility interface; it keeps nothing between calls.
//
// Two ways to read, as the agent has always read:
// - "advertised" reads count an attribute the element serves but does not
//   list among its attribute names as Unsupported (two requests: the names,
//   then the value; a name list that fails ends the read there);
// - "copied" reads ask for the value directly (one request).
// A value of the wrong kind reads as Unsupported. No read makes a request
// for an empty handle: that is Gone at once.
class ElementReader {
public:
    // `accessibility` is not owned and must outlive the reader.
    explicit ElementReader(Accessibility& accessibility) : m_accessibility(accessibility) { }

    // The application element of a process; Gone when the process has none.
    ErrorOr<AccessibleElement> application(pid_t pid);

    // The raw value, advertised or copied.
    ErrorOr<AttributeValue> advertisedValue(const AccessibleElement& element, const std::string& attribute);
    ErrorOr<AttributeValue> copiedValue(const AccessibleElement& element, const std::string& attribute);

    // Copied, as text: a value of any kind in its printed form.
    ErrorOr<std::string> role(const AccessibleElement& element) { return text(element, "AXRole"); }
    ErrorOr<std::string> title(const AccessibleElement& element) { return text(element, "AXTitle"); }
    ErrorOr<std::string> description(const AccessibleElement& element) { return text(element, "AXDescription"); }
    ErrorOr<std::string> text(const AccessibleElement& element, const std::string& attribute);

    // Advertised, typed.
    ErrorOr<std::string> subrole(const AccessibleElement& element);
    ErrorOr<Point> position(const AccessibleElement& element);
    ErrorOr<Size> size(const AccessibleElement& element);
    // A boolean or a number read as a truth value ("AXEnabled", "AXShowing",
    // "AXHidden", "AXFrontmost", "AXWindowRelativePositions", ...).
    ErrorOr<bool> flag(const AccessibleElement& element, const std::string& attribute);
    // A non-empty element ("AXDefaultButton", "AXCancelButton",
    // "AXFocusedWindow", "AXFocusedUIElement", "AXTopLevelUIElement", ...).
    ErrorOr<AccessibleElement> element(const AccessibleElement& element, const std::string& attribute);
    ErrorOr<AccessibleElement> defaultButton(const AccessibleElement& window) { return element(window, "AXDefaultButton"); }
    ErrorOr<AccessibleElement> cancelButton(const AccessibleElement& window) { return element(window, "AXCancelButton"); }
    ErrorOr<AccessibleElement> focusedWindow(const AccessibleElement& application) { return element(application, "AXFocusedWindow"); }

    // Copied lists of elements, in the order given. Unsupported unless the
    // value is a non-empty array whose first entry is an element (only the
    // first entry's kind is tested; other non-elements keep their place as
    // empty handles).
    ErrorOr<std::vector<AccessibleElement>> children(const AccessibleElement& element) { return elementList(element, "AXChildren"); }
    ErrorOr<std::vector<AccessibleElement>> windows(const AccessibleElement& application) { return elementList(application, "AXWindows"); }
    // Copied: the parent element, Unsupported at the top.
    ErrorOr<AccessibleElement> parent(const AccessibleElement& element);

    // The deepest element in the screen pixel holding `point`, asked of the
    // whole desktop. Unsupported when nothing readable is there.
    ErrorOr<AccessibleElement> elementAt(Point point);
    // The process owning an element; Gone when that cannot be told.
    ErrorOr<pid_t> pidOf(const AccessibleElement& element);
    // The process of the system-wide element's focused application.
    ErrorOr<pid_t> frontmostPid();

private:
    ErrorOr<std::vector<AccessibleElement>> elementList(const AccessibleElement& element, const std::string& attribute);

    Accessibility& m_accessibility; // not owned
};

} // namespace velmora
