#include "platform/linux/X11Screens.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <tuple>
#include <cmath>
#include <cstdlib>

namespace velmora::linux_desktop {

namespace {

struct MonitorBox {
    int x, y, width, height;
    bool primary;
};

float scaleFromResources(Display* display)
{
    const char* resources = XResourceManagerString(display);
    if (!resources)
        return 0;
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (!database)
        return 0;
    char* type = nullptr;
    XrmValue value{};
    float scale = 0;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr)
        scale = static_cast<float>(std::atof(value.addr) / 96.0);
    XrmDestroyDatabase(database);
    return scale;
}

} // namespace

X11Screens::X11Screens(Display* display) : m_display(display)
{
    XrmInitialize();
}

std::vector<Screen> X11Screens::screens()
{
    std::vector<MonitorBox> boxes;
    Window root = DefaultRootWindow(m_display);
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(m_display, &eventBase, &errorBase)) {
        int count = 0;
        XRRMonitorInfo* monitors = XRRGetMonitors(m_display, root, True, &count);
        for (int i = 0; monitors && i < count; ++i)
            boxes.push_back({monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height, monitors[i].primary != 0});
        if (monitors)
            XRRFreeMonitors(monitors);
    }
    if (boxes.empty()) {
        int screen = DefaultScreen(m_display);
        int width = DisplayWidth(m_display, screen), height = DisplayHeight(m_display, screen);
        if (width <= 0 || height <= 0)
            return {};
        boxes.push_back({0, 0, width, height, true});
    }
    // The primary first; without one, the monitor at the root's origin.
    auto primary = std::find_if(boxes.begin(), boxes.end(), [](const MonitorBox& b) { return b.primary; });
    if (primary == boxes.end())
        primary = std::min_element(boxes.begin(), boxes.end(),
            [](const MonitorBox& a, const MonitorBox& b) { return std::tie(a.y, a.x) < std::tie(b.y, b.x); });
    std::rotate(boxes.begin(), primary, primary + 1);

    const float scale = mainScreenScaleFactor();
    const int bottom = boxes.front().y + boxes.front().height;
    std::vector<Screen> result;
    for (const MonitorBox& box : boxes) {
        Screen screen;
        screen.frame.origin = {static_cast<float>(box.x), static_cast<float>(bottom - (box.y + box.height))};
        screen.frame.size = {static_cast<float>(box.width), static_cast<float>(box.height)};
        screen.scaleFactor = scale;
        result.push_back(screen);
    }
    return result;
}

float X11Screens::mainScreenScaleFactor()
{
    if (const char* gdkScale = std::getenv("GDK_SCALE")) {
        int scale = std::atoi(gdkScale);
        if (scale >= 1)
            return static_cast<float>(scale);
    }
    float fromDpi = scaleFromResources(m_display);
    return fromDpi >= 1.0f ? fromDpi : 1.0f;
}

} // namespace velmora::linux_desktop
