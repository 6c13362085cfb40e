#pragma once

#include "platform/AXElement.h"
#include "platform/AXValue.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

enum class AXError {
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
class AXObserver {
public:
    // Called with the element the notification is about (not necessarily the
    // application element) and the notification's name.
    using Callback = std::function<void(const AXElement& element, const std::string& notification)>;

    // Destruction removes every subscription and any queued delivery: nothing
    // reaches the callback once destruction has begun.
    virtual ~AXObserver() = default;

    // Subscribes to one notification of an element of the observed process.
    virtual AXError addNotification(const AXElement& element, const std::string& notification) = 0;

    // Deliveries start only once the observer's source is on the run loop.
    virtual void addToRunLoop() = 0;
};

// The accessibility interface of the desktop. Every call is a request to
// another process and may fail; failures come back as an AXError and an empty
// result, never as an exception. Calls carry a time budget of the backend's,
// so a hung application yields CannotComplete rather than a frozen agent.
class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether assistive access is enabled at all.
    virtual bool isAPIEnabled() = 0;

    // The application element of a process; empty when the process has none.
    virtual AXElement createApplication(pid_t pid) = 0;
    // The element that stands for the whole desktop.
    virtual AXElement createSystemWide() = 0;

    // The names of the attributes the element advertises.
    virtual AXError copyAttributeNames(const AXElement& element, std::vector<std::string>& names) = 0;
    // Copies an attribute's value; may succeed for attributes not advertised.
    virtual AXError copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& value) = 0;
    // The deepest element at a top-left-origin global position, asked of the
    // application element or of the system-wide element.
    virtual AXError copyElementAtPosition(const AXElement& element, float x, float y, AXElement& result) = 0;
    // The process that owns an element.
    virtual AXError getPid(const AXElement& element, pid_t& pid) = 0;

    // An observer for one process; on failure returns the error and a null
    // observer. Deliveries go to `callback` on the run loop.
    virtual AXError createObserver(pid_t pid, AXObserver::Callback callback, std::unique_ptr<AXObserver>& observer) = 0;
};

} // namespace velmora
