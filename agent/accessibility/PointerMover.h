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
    static void moveMouseToPoint(CGPoint point);

    // Vertically centred, kInsetFromRightEdge x scale left of the right edge
    // (not clamped: a button narrower than the inset puts the pointer left of
    // its origin).
    static CGPoint snapPointOnElement(CGPoint origin, CGSize size);
    // Moves the pointer to snapPointOnElement() and returns the point.
    static CGPoint centerMouseOnElementWithOrigin(CGPoint origin, CGSize size);
};

// Bottom-left-origin global point -> top-left-origin global point, flipped
// about the primary screen; unchanged when no screen is attached.
CGPoint convertGlobalPointToCGPoint(NSPoint point);
// Same, then each coordinate truncated toward zero to its low 16 bits.
CarbonPoint convertGlobalPointToCarbonPoint(NSPoint point);
// The inverse of convertGlobalPointToCGPoint.
NSPoint convertCGPointToGlobalPoint(CGPoint point);

// The pointer as the engine reads it: bottom-left-origin global coordinates
// (the form pointer-location texts are written in) ...
NSPoint currentMouseLocation();
// ... and as a Carbon point.
CarbonPoint currentGlobalMouse();

} // namespace velmora
