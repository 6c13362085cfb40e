#include "platform/linux/QtConventions.h"

namespace velmora::linux_desktop {

bool QtConventions::appliesTo(std::string_view toolkitName)
{
    return toolkitName == "Qt";
}

bool QtConventions::mapsWaylandPlatform(std::string_view maps)
{
    const bool wayland = maps.find("/libQt5WaylandClient.so") != std::string_view::npos
                         || maps.find("/libQt6WaylandClient.so") != std::string_view::npos;
    // Where both are mapped, the X one is taken as the one in use.
    const bool x11 = maps.find("/libQt5XcbQpa.so") != std::string_view::npos
                     || maps.find("/libQt6XcbQpa.so") != std::string_view::npos;
    return wayland && !x11;
}

Gtk4Conventions::Margin QtConventions::waylandSurfaceMargin()
{
    return {3, 30};
}

} // namespace velmora::linux_desktop
