#include "platform/ReadError.h"

namespace velmora {

ReadError readErrorFrom(AXError error)
{
    switch (error) {
    case AXError::InvalidUIElement:
    case AXError::IllegalArgument: // an empty or foreign handle names no element
        return ReadError::Gone;
    case AXError::CannotComplete:
        return ReadError::Hung;
    case AXError::APIDisabled:
        return ReadError::AccessOff;
    case AXError::Success: // not an error; callers never pass it
    case AXError::Failure: // unexplained failures have always read as a missing value
    case AXError::AttributeUnsupported:
    case AXError::NotificationUnsupported:
    case AXError::NotificationAlreadyRegistered:
    case AXError::NoValue:
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
