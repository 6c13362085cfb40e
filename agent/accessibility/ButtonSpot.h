#pragma once

#include "platform/Geometry.h"

namespace velmora {

// Where the pointer goes on a button.
class ButtonSpot {
public:
    ButtonSpot() = delete;

    // Distance from a button's right edge to where the pointer lands, in
    // points before scaling: far enough in to be on the button's face, clear
    // of its rounded corner.
    static constexpr float kInsetFromRightEdge = 15.0f;

    // Vertically centred, kInsetFromRightEdge x `scale` left of the right
    // edge (not clamped: a button narrower than the inset puts the pointer
    // left of its origin).
    static Point on(Point origin, Size size, float scale);
};

} // namespace velmora
