#include "platform/linux/X11WindowLocator.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace velmora::linux_desktop {

namespace {

// How many windows a search below one top-level may visit: frames hold a
// handful; this only bounds a pathological tree.
constexpr size_t kMaxWindowsVisited = 64;

bool hasProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool present = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format, &count,
                       &after, &data) == Success && type != None;
    if (data)
        XFree(data);
    return present;
}

pid_t pidProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success
        && data && count == 1 && format == 32)
        pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

} // namespace

X11WindowLocator::X11WindowLocator(Display* display) : m_display(display) { }

pid_t X11WindowLocator::pidOfWindowAt(int x, int y)
{
    Window root = DefaultRootWindow(m_display);
    Window topLevel = None;
    int localX = 0, localY = 0;
    if (!XTranslateCoordinates(m_display, root, root, x, y, &localX, &localY, &topLevel) || topLevel == None)
        return 0;
    // Under a window manager the top-level is its frame; the application's
    // own window inside it is the one carrying WM_STATE. Without a window
    // manager there is no WM_STATE and the top-level is the client.
    Atom wmState = XInternAtom(m_display, "WM_STATE", True);
    Atom netWmPid = XInternAtom(m_display, "_NET_WM_PID", True);
    if (netWmPid == None)
        return 0;
    std::vector<Window> pending{topLevel};
    for (size_t i = 0; i < pending.size() && i < kMaxWindowsVisited; ++i) {
        Window window = pending[i];
        if (wmState == None || hasProperty(m_display, window, wmState))
            return pidProperty(m_display, window, netWmPid);
        Window rootReturn = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(m_display, window, &rootReturn, &parent, &children, &count)) {
            // Topmost first.
            for (unsigned int c = count; c > 0; --c)
                pending.push_back(children[c - 1]);
            if (children)
                XFree(children);
        }
    }
    return 0;
}

} // namespace velmora::linux_desktop
