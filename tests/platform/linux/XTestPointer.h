#pragma once

// Kept apart from DesktopSession.h: Xlib's macros (None, Success) clash with
// the engine's names in the tests that do not need them.

#include "platform/linux/DesktopSession.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace velmora::linux_desktop::testing {

// The pointer of the X server, moved there as a hand would (an XTest motion)
// and read back; tests that run the agent out of process see it this way.
inline void restPointerAt(Display* display, Spot spot)
{
    XTestFakeMotionEvent(display, -1, spot.x, spot.y, CurrentTime);
    XSync(display, False);
    pumpFor(0.05);
}

inline Spot pointerOf(Display* display)
{
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    return {x, y};
}

} // namespace velmora::linux_desktop::testing
