#pragma once

#include "platform/Geometry.h"

namespace velmora {

// The mouse pointer, in top-left-origin global coordinates.
class Pointer {
public:
    virtual ~Pointer() = default;

    // Warps the pointer; never produces a button event.
    virtual void moveTo(CGPoint point) = 0;
    // Where the pointer is now.
    virtual CGPoint location() = 0;
    // Whether any mouse button is held down now.
    virtual bool anyButtonDown() = 0;
};

} // namespace velmora
