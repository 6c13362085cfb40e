#pragma once

#include "platform/Screens.h"


typedef struct _XDisplay Display; // Xlib's; its header defines macros that clash with ours

namespace velmora::linux_desktop {

// The monitors of the X server (XRandR), the primary first. Global
// coordinates are root-window pixels: a frame's x is its root x, and y counts
// up from the primary monitor's bottom edge, so the primary frame starts at
// (0, 0) whenever the primary monitor touches the top of the root window, as
// display settings tools place it.
class X11Screens final : public Screens {
public:
    explicit X11Screens(Display* display);

    // Empty only when the server reports no monitor and no screen size.
    std::vector<Screen> screens() override;
    // The desktop's scaling setting: $GDK_SCALE when set (what GTK itself
    // follows), else the Xft.dpi resource against 96 dpi, else 1.
    float mainScreenScaleFactor() override;

private:
    Display* m_display; // not owned; the desktop backend owns the connection
};

} // namespace velmora::linux_desktop
