#include "platform/ReadError.h"

namespace velmora {

ReadError readErrorFrom(AccessibilityError error)
{
    switch (error) {
    case AccessibilityError::InvalidUIElement:
    case AccessibilityError::IllegalArgument: // an empty or foreign handle names no element
        return ReadError::Gone;
    case AccessibilityError::CannotComplete:
        return ReadError::Hung;
    case AccessibilityError::APIDisabled:
        return ReadError::AccessOff;
    case AccessibilityError::Success: // not an error; callers never pass it
    case AccessibilityError::Failure: // unexplained failures have always read as a missing value
    case AccessibilityError::AttributeUnsupported:
    case AccessibilityError::NotificationUnsupported:
    case AccessibilityError::NotificationAlreadyRegistered:
    case AccessibilityError::NoValue:
        break;
    }
    return ReadError::Unsupported;
}

const char* readErrorName(ReadError error)
{
    switch (error) {
    case ReadError::Gone:
        return "gone";
    case ReadError::Hung:
        return "hung";
    case ReadError::Unsupported:
        return "unsupported";
    case ReadError::AccessOff:
        return "access off";
    }
    return "unknown";
}

} // namespace velmora
