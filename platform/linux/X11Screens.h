#pragma once

#include "platform/Screens.h"
#include "platform/linux/X11Connection.h"

#include <optional>
#include <vector>


typedef struct _XDisplay Display; // Xlib's; its header defines macros that clash with ours

namespace velmora::linux_desktop {

// The monitors of the X server (XRandR), the primary first. Global
// coordinates are root-window pixels: a frame's x is its root x, and y counts
// down from the primary monitor's top edge, so the primary frame starts at
// (0, 0) whenever the primary monitor touches the top-left of the root window,
// as display settings tools place it. The layout is read once, and again after
// the server announces a change.
class X11Screens final : public Screens {
public:
    explicit X11Screens(X11Connection& connection);
    ~X11Screens() override;
    X11Screens(const X11Screens&) = delete;
    X11Screens& operator=(const X11Screens&) = delete;

    // Empty only when the server reports no monitor and no screen size.
    std::vector<Screen> screens() override;
    // The desktop's scaling setting: $GDK_SCALE when set (what GTK itself
    // follows), else the Xft.dpi resource against 96 dpi, else 1.
    float mainScreenScaleFactor() override;

private:
    std::vector<Screen> readScreens();

    X11Connection& m_connection; // owned by the desktop backend
    Display* m_display;
    bool m_hasRandr{false};
    int m_randrEventBase{0};
    int m_handler{0};
    std::optional<std::vector<Screen>> m_cached; // until the server reports a change
    std::optional<float> m_resourceScale;
};

} // namespace velmora::linux_desktop
