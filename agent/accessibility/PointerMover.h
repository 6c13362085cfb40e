#pragma once

#include "platform/Geometry.h"

namespace velmora {

// Where the pointer goes on a button, and the move itself.
class PointerMover {
public:
    PointerMover() = delete;

    // Distance from a button's right edge to where the pointer lands, in
    // points before scaling: far enough in to be on the button's face, clear
    // of its rounded corner.
    static constexpr float kInsetFromRightEdge = 15.0f;

    // A pure move: no button goes down, nothing is clicked.
    static void moveMouseToPoint(Point point);

    // Vertically centred, kInsetFromRightEdge x scale left of the right edge
    // (not clamped: a button narrower than the inset puts the pointer left of
    // its origin).
    static Point snapPointOnElement(Point origin, Size size);
    // Moves the pointer to snapPointOnElement() and returns the point.
    static Point centerMouseOnElementWithOrigin(Point origin, Size size);
};

// Where the pointer is now.
Point pointerLocation();

} // namespace velmora
