#pragma once

#include "platform/Accessibility.h"

namespace velmora {

// Why an accessibility read gave no value, in the terms a caller decides on.
// The backend's AccessibilityError says more than a caller can act on; these are the
// cases that call for different decisions.
enum class ReadError {
    // The element (or its application) no longer exists, or the handle was
    // empty: asking again will not help.
    Gone,
    // The application did not answer within the backend's time budget. It
    // may come back; asking it anything more on the same event only costs
    // another budget.
    Hung,
    // The element does not offer the attribute, has no value for it now, or
    // gives it in a kind the caller cannot use: the same as "absent".
    Unsupported,
    // Accessibility access is switched off: nothing can be read at all.
    AccessOff,
};

// The decision class of a backend error; Success has none and must not be passed.
ReadError readErrorFrom(AccessibilityError error);
// A word for logs: "gone", "hung", "unsupported", "access off".
const char* readErrorName(ReadError error);

} // namespace velmora
