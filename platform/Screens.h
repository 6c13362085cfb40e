#pragma once

#include "platform/Geometry.h"

#include <vector>

namespace velmora {

struct Screen {
    Rect frame;               // root-window pixels, as pointer positions
    float scaleFactor{1.0f};  // user-interface points to device pixels
};

class Screens {
public:
    virtual ~Screens() = default;

    // Every attached screen, the primary first. Frames share the pointer's
    // coordinates, so a primary below or right of another monitor does not
    // start at (0, 0). Empty when nothing is attached.
    virtual std::vector<Screen> screens() = 0;
    // Scale factor of the screen holding the focused window (1 when unknown).
    virtual float mainScreenScaleFactor() = 0;
};

} // namespace velmora
