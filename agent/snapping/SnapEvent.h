#pragma once

#include "platform/AccessibleElement.h"
#include "platform/Geometry.h"

namespace velmora {

// One snap, as the engine hands it to the snap-back coordinator, the
// feedback sound and the demo: the payload of kPointerSnapped.
struct SnapEvent {
    Point from;                 // where the pointer stood before the snap
    Point to;                   // where it stands after it
    AccessibleElement button;   // the button it was put on
};

} // namespace velmora
