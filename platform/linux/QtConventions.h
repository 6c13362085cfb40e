#pragma once

#include "platform/linux/Gtk4Conventions.h"

#include <string_view>

namespace velmora::linux_desktop {

// What Qt (5.15 and 6.4, Debian 12) tells AT-SPI on a Wayland desktop, and
// where its windows lie in their surfaces. Qt reports every extent relative
// to its window whatever is asked (it does not know where the window is),
// counted from inside the decoration it draws itself where the compositor
// draws none (mutter): a 3 px border and a 30 px title bar, the same in both
// versions. On X11 (XWayland included) its extents are the screen's.
class QtConventions {
public:
    // Whether an application reporting this toolkit (the atspi toolkit name
    // of its application object) is a Qt one.
    static bool appliesTo(std::string_view toolkitName);

    // Whether a Qt process's memory map (/proc/PID/maps) shows it on a
    // Wayland compositor rather than on an X server: Qt loads one platform
    // plugin, and each links a library of its own.
    static bool mapsWaylandPlatform(std::string_view maps);

    // Where a Qt window's own top-left corner lies inside its Wayland
    // surface, measured under mutter 43.
    static Gtk4Conventions::Margin waylandSurfaceMargin();
};

} // namespace velmora::linux_desktop
