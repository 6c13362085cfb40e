#pragma once

#include "platform/Geometry.h"

#include <vector>

namespace velmora {

struct Screen {
    Rect frame;               // top-left-origin screen pixels
    float scaleFactor{1.0f};  // user-interface points to device pixels
};

class Screens {
public:
    virtual ~Screens() = default;

    // Every attached screen; the first entry is the primary screen, whose
    // frame starts at (0, 0). Empty when nothing is attached.
    virtual std::vector<Screen> screens() = 0;
    // Scale factor of the screen holding the focused window (1 when unknown).
    virtual float mainScreenScaleFactor() = 0;
};

} // namespace velmora
