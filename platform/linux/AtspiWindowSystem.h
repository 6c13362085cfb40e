#pragma once

namespace velmora::linux_desktop {

class SurfaceLocator;
class X11WindowLocator;
class XWaylandWindows;

// What the session's display server can tell the AT-SPI backend about
// windows, which AT-SPI alone cannot: one instance, owned by
// AtspiAccessibility and read by its collaborators, so that a locator set after
// construction reaches all of them.
struct AtspiWindowSystem {
    // The X11 session's windows; null in a Wayland session, where extents
    // are then their window's own.
    X11WindowLocator* x11{nullptr}; // not owned
    // X clients' windows in a Wayland session; may be null.
    XWaylandWindows* xwayland{nullptr}; // not owned
    // A Wayland compositor that tells which window is where; may be null.
    SurfaceLocator* surfaces{nullptr}; // not owned
    // Whether Qt on Wayland draws its own title bar and border, counted
    // inside its positions: where the compositor does not decorate windows
    // (mutter); KWin draws them outside the window's surface.
    bool qtDrawsDecorations{true};
};

} // namespace velmora::linux_desktop
