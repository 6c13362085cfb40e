#pragma once

#include "platform/AccessibleElement.h"
#include "platform/AttributeValue.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

enum class AccessibilityError {
    Success,
    Failure,                  // the call failed for a reason not listed below
    IllegalArgument,          // e.g. an empty element handle
    InvalidUIElement,         // the element no longer exists
    CannotComplete,           // the application did not answer (gone, hung, timed out)
    AttributeUnsupported,
    NotificationUnsupported,
    NotificationAlreadyRegistered,
    APIDisabled,              // accessibility access is switched off
    NoValue,
};

// One subscription handle per observed process. Deliveries are queued by the
// backend and dispatched from the run loop, never re-entrantly from inside a
// call into the accessibility interface.
class AccessibilityObserver {
public:
    // Called with the element the notification is about (not necessarily the
    // application element) and the notification's name.
    using Callback = std::function<void(const AccessibleElement& element, const std::string& notification)>;

    // Destruction removes every subscription and any queued delivery: nothing
    // reaches the callback once destruction has begun.
    virtual ~AccessibilityObserver() = default;

    // Subscribes to one notification of an element of the observed process.
    virtual AccessibilityError addNotification(const AccessibleElement& element, const std::string& notification) = 0;

    // Deliveries start only once the observer's source is on the run loop.
    virtual void addToRunLoop() = 0;
};

// The accessibility interface of the desktop. Every call is a request to
// another process and may fail; failures come back as an AccessibilityError and an empty
// result, never as an exception. Calls carry a time budget of the backend's,
// so a hung application yields CannotComplete rather than a frozen agent.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether assistive access is enabled at all.
    virtual bool isAPIEnabled() = 0;

    // The application element of a process; empty when the process has none.
    virtual AccessibleElement createApplication(pid_t pid) = 0;
    // The element that stands for the whole desktop.
    virtual AccessibleElement createSystemWide() = 0;

    // The names of the attributes the element advertises.
    virtual AccessibilityError copyAttributeNames(const AccessibleElement& element, std::vector<std::string>& names) = 0;
    // Copies an attribute's value; may succeed for attributes not advertised.
    virtual AccessibilityError copyAttributeValue(const AccessibleElement& element, const std::string& attribute, AttributeValue& value) = 0;
    // The deepest element at a top-left-origin global position, asked of the
    // application element or of the system-wide element.
    virtual AccessibilityError copyElementAtPosition(const AccessibleElement& element, float x, float y, AccessibleElement& result) = 0;
    // The process that owns an element.
    virtual AccessibilityError getPid(const AccessibleElement& element, pid_t& pid) = 0;

    // An observer for one process; on failure returns the error and a null
    // observer. Deliveries go to `callback` on the run loop.
    virtual AccessibilityError createObserver(pid_t pid, AccessibilityObserver::Callback callback, std::unique_ptr<AccessibilityObserver>& observer) = 0;
};

} // namespace velmora
