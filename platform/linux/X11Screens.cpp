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

X11Screens::X11Screens(X11Connection& connection) : m_connection(connection), m_display(connection.display())
{
    XrmInitialize();
    // The layout is read once and again only after the server says it
    // changed: the engine converts every pointer reading through it, and a
    // query costs a round trip to a server that is busy drawing the very
    // dialog being snapped to.
    int errorBase = 0;
    m_hasRandr = XRRQueryExtension(m_display, &m_randrEventBase, &errorBase);
    if (m_hasRandr) {
        XRRSelectInput(m_display, DefaultRootWindow(m_display),
            RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask);
    }
    // A monitor defined by a client (a split wide screen) is announced only
    // as the root window's configure event.
    const Window root = DefaultRootWindow(m_display);
    XSelectInput(m_display, root, StructureNotifyMask);
    XFlush(m_display);
    m_handler = m_connection.addEventHandler([this, root](const XEvent& event) {
        if (m_hasRandr && (event.type == m_randrEventBase + RRScreenChangeNotify || event.type == m_randrEventBase + RRNotify)) {
            XEvent copy = event;
            XRRUpdateConfiguration(&copy);
            m_cached.reset();
        } else if (event.type == ConfigureNotify && event.xconfigure.window == root) {
            m_cached.reset();
        }
    });
}

X11Screens::~X11Screens()
{
    m_connection.removeEventHandler(m_handler);
}

std::vector<Screen> X11Screens::screens()
{
    // What the server sent so far, without waiting on it.
    m_connection.processEvents();
    if (!m_cached)
        m_cached = readScreens();
    std::vector<Screen> result = *m_cached;
    const float scale = mainScreenScaleFactor();
    for (Screen& screen : result)
        screen.scaleFactor = scale;
    return result;
}

std::vector<Screen> X11Screens::readScreens()
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

    // Root pixels, as the pointer and the toolkits count: a primary below
    // another monitor does not move the origin.
    std::vector<Screen> result;
    for (const MonitorBox& box : boxes) {
        Screen screen;
        screen.frame.origin = {static_cast<float>(box.x), static_cast<float>(box.y)};
        screen.frame.size = {static_cast<float>(box.width), static_cast<float>(box.height)};
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
    // Xlib reads the resources once, when the connection opens: parsed once.
    if (!m_resourceScale)
        m_resourceScale = scaleFromResources(m_display);
    return *m_resourceScale >= 1.0f ? *m_resourceScale : 1.0f;
}

} // namespace velmora::linux_desktop
