#pragma once

#include "platform/Accessibility.h"
#include "platform/AccessibleElement.h"
#include "platform/AttributeValue.h"
#include "platform/ErrorOr.h"
#include "platform/Geometry.h"

#include <string>
#include <sys/types.h>

namespace velmora {

// The agent's compound questions over the accessibility interface, on
// ElementReader. Except for focusedWindow(), nothing here reports an error:
// a failed or missing read yields the empty value (no element, "", -1), which
// callers treat as "unknown", not as a fact about the element.
//
// Results are handles: they stay valid for as long as the caller keeps them.
class ElementQueries {
public:
    // `accessibility` is not owned and must outlive the queries.
    explicit ElementQueries(Accessibility& accessibility) : m_accessibility(accessibility) { }

    // Reads an attribute only if the element advertises it (an attribute the
    // element serves but does not list counts as absent). Costs two requests.
    AttributeValue advertisedValue(const std::string& attribute, const AccessibleElement& element) const;
    // The application element of a process; empty on failure.
    AccessibleElement applicationElement(pid_t pid) const;
    // "AXTitle", as text; "" when absent.
    std::string title(const AccessibleElement& element) const;

    // The application's focused window; when it is missing from a non-empty
    // window list, the top-level element of the focused element stands in for
    // it if that element's role is exactly "AXWindow". Hung as soon as one of
    // its reads is not answered (no further request is made), Unsupported
    // when the application has no focused window.
    ErrorOr<AccessibleElement> focusedWindow(pid_t pid) const;

    // The element at a screen point, asked of the whole desktop; empty when none.
    AccessibleElement elementAt(Point point) const;
    // Whether the backend reports the element itself as gone (its window
    // destroyed, its application off the bus), as opposed to merely not
    // answering: a hung application's element is not gone.
    bool isGone(const AccessibleElement& element) const;
    // The process owning an element; -1 when that cannot be told.
    pid_t pidOf(const AccessibleElement& element) const;

private:
    Accessibility& m_accessibility;
};

} // namespace velmora
