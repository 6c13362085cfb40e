#pragma once

#include "platform/AXElement.h"
#include "platform/Geometry.h"

namespace velmora {

struct PointerAbilities { bool movesOnScreen{true}; bool movesInWindow{false}; bool readsPosition{true}; };

// The mouse pointer, in top-left-origin global coordinates.
class Pointer {
public:
    virtual ~Pointer() = default;

    virtual PointerAbilities abilities() { return {}; }
    // Moves to a point in the window's own coordinates (those its accessibility positions are given in);
    // false when this pointer cannot.
    virtual bool moveToInWindow(const AXElement& /*window*/, CGPoint /*point*/) { return false; }

    // Warps the pointer; never produces a button event.
    virtual void moveTo(CGPoint point) = 0;
    // Where the pointer is now.
    virtual CGPoint location() = 0;
    // Whether any mouse button is held down now.
    virtual bool anyButtonDown() = 0;
};

} // namespace velmora
