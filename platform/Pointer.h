#pragma once

#include "platform/AccessibleElement.h"
#include "platform/Geometry.h"

namespace velmora {

// What a desktop lets a program do with the pointer. Wayland compositors
// keep global coordinates to themselves: there the pointer can only be put
// somewhere in a window, in the window's own coordinates, and may not be
// readable at all.
struct PointerAbilities {
    bool movesOnScreen{true};  // moveTo() with global coordinates
    bool movesInWindow{false}; // moveToInWindow()
    bool readsPosition{true};  // location() is where the pointer really is, wherever it is
};

// The mouse pointer, in top-left-origin global coordinates.
class Pointer {
public:
    virtual ~Pointer() = default;

    virtual PointerAbilities abilities() { return {}; }
    // Moves to a point in a window's own coordinates (those its accessibility
    // positions are given in). False when this pointer cannot, or the move failed.
    virtual bool moveToInWindow(const AccessibleElement& window, WindowPoint point)
    {
        (void)window;
        (void)point;
        return false;
    }

    // Warps the pointer; never produces a button event.
    virtual void moveTo(Point point) = 0;
    // Where the pointer is now.
    virtual Point location() = 0;
    // Whether any mouse button is held down now.
    virtual bool anyButtonDown() = 0;
};

} // namespace velmora
