#pragma once

#include "platform/AccessibleElement.h"
#include "platform/AttributeValue.h"
#include "platform/ErrorOr.h"
#include "platform/Geometry.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// Read-only queries over the accessibility interface, on ElementReader.
// Except for the read* queries, nothing here reports an error: a failed or
// missing read yields the empty value of the operation (no element, "", an
// empty list, -1). Callers of those treat an empty result as "unknown", not
// as a fact about the element; callers that must tell a hung application
// from a missing attribute use ElementReader or the read* queries.
//
// Results are handles: they stay valid for as long as the caller keeps them,
// which covers the "valid until the end of the current pass" promise.
class ElementQueries {
public:
    ElementQueries() = delete;

    // Reads an attribute only if the element advertises it (an attribute the
    // element serves but does not list counts as absent). Costs two requests.
    static AttributeValue valueOfExistingAttribute(const std::string& attribute, const AccessibleElement& element);

    // The application element of a process; empty on failure.
    static AccessibleElement uiElementForPID(pid_t pid);

    // "AXTitle", "AXRole", "AXDescription" copied directly, as text; "" when absent.
    static std::string titleOfElement(const AccessibleElement& element);
    static std::string roleOfElement(const AccessibleElement& element);
    static std::string descriptionOfElement(const AccessibleElement& element);
    // The title of the element's topmost ancestor (following "AXParent").
    static std::string titleOfApplicationForElement(const AccessibleElement& element);

    // "AXWindows" of the application / "AXChildren" of the element, in the
    // order given. Empty unless the value is a non-empty array whose first
    // entry is an element (only the first entry's kind is tested).
    static std::vector<AccessibleElement> allWindowsForAppWithPID(pid_t pid);
    static std::vector<AccessibleElement> allChildrenOfElement(const AccessibleElement& element);

    // The application's focused window; when it is missing from a non-empty
    // window list, the top-level element of the focused element stands in for
    // it if that element's role is exactly "AXWindow".
    static AccessibleElement focusedWindowRefForAppWithPID(pid_t pid);
    // The same, with the reason when there is none: Hung as soon as one of
    // its reads is not answered (no further request is made), Unsupported
    // when the application has no focused window.
    static ErrorOr<AccessibleElement> readFocusedWindow(pid_t pid);

    // The element at a screen point, asked of the whole desktop; empty when none.
    static AccessibleElement elementAt(Point point);

    // Whether the backend reports the element itself as gone (its window
    // destroyed, its application off the bus), as opposed to merely not
    // answering: a hung application's element is not gone.
    static bool elementIsGone(const AccessibleElement& element);
    // Whether the element is known to be off screen: hidden, unmapped or
    // scrolled away. Unknown counts as showing.
    static bool elementIsHidden(const AccessibleElement& element);
    // The process owning an element; -1 when that cannot be told.
    static pid_t pidOfElement(const AccessibleElement& element);

    // 1 or 0; -1 when the application or the attribute is missing.
    static int appWithPIDIsFrontmost(pid_t pid);
    static int appWithPIDIsHidden(pid_t pid);
    // The process of the system-wide element's focused application; -1 when none.
    static pid_t pidOfFrontmostApp();
};

} // namespace velmora
