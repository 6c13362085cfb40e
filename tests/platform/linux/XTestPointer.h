#pragma once

// Kept apart from DesktopSession.h: Xlib's macros (None, Success) clash with
// the engine's names in the tests that do not need them.

#include "platform/linux/DesktopSession.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <initializer_list>
#include <string>
#include <vector>

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

// A key pressed with `held` keys down, as on a keyboard.
inline void pressKeys(Display* display, std::initializer_list<KeySym> held, KeySym key)
{
    for (KeySym k : held)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, k), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
    for (KeySym k : held)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, k), False, CurrentTime);
    XSync(display, False);
}

// Lower-case letters, digits and spaces only: their keys need no modifier
// on any layout the test desktop gets.
inline void typeText(Display* display, const std::string& text)
{
    for (char c : text) {
        const char name[2] = {c, 0};
        pressKeys(display, {}, c == ' ' ? XStringToKeysym("space") : XStringToKeysym(name));
    }
}

// A click of the first button wherever the pointer rests.
inline void clickPointer(Display* display)
{
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
}

// A zenity dialog (`zenity` and its arguments) shown while the pointer rests
// aside: whether an agent out of process moves the pointer onto its button
// `label` (or, `leftAlone`, leaves it where it rests 1.5 s after the button shows).
inline ::testing::AssertionResult zenitySnapsTo(Display* display, const std::vector<std::string>& zenity, const std::string& label,
                                                bool leftAlone = false)
{
    constexpr Spot kAside{20, 20};
    restPointerAt(display, kAside);
    Program dialog(zenity);
    const auto spot = expectedButtonSpot(dialog.pid(), label);
    if (!spot)
        return ::testing::AssertionFailure() << "the dialog never showed its button " << label;
    if (!leftAlone)
        return pointerReachesSpot([display] { return pointerOf(display); }, *spot, 10);
    pumpFor(1.5);
    const Spot p = pointerOf(display);
    if (p.x == kAside.x && p.y == kAside.y)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the pointer was moved to " << p.x << ", " << p.y;
}

} // namespace velmora::linux_desktop::testing
