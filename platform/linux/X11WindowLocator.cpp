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

// A property of 32-bit items (Xlib hands them over as longs).
std::vector<unsigned long> longsProperty(Display* display, Window window, Atom property, Atom type, long most)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> items;
    if (property != None
        && XGetWindowProperty(display, window, property, 0, most, False, type, &actual, &format, &count, &after, &data) == Success
        && data && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        items.assign(values, values + count);
    }
    if (data)
        XFree(data);
    return items;
}

std::string textProperty(Display* display, Window window, Atom property, Atom type)
{
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (property != None
        && XGetWindowProperty(display, window, property, 0, 1024, False, type, &actual, &format, &count, &after, &data) == Success
        && data && format == 8)
        text.assign(reinterpret_cast<const char*>(data), count);
    if (data)
        XFree(data);
    return text;
}

std::string titleOf(Display* display, Window window)
{
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", True);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
    std::string title = utf8 != None ? textProperty(display, window, netWmName, utf8) : std::string();
    if (title.empty())
        title = textProperty(display, window, XA_WM_NAME, XA_STRING);
    return title;
}

// The ancestor of `window` just below the root: the window manager's frame.
Window topLevelOf(Display* display, Window window)
{
    for (size_t depth = 0; depth < kMaxWindowsVisited; ++depth) {
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &root, &parent, &children, &count))
            return None;
        if (children)
            XFree(children);
        if (parent == None || parent == root)
            return window;
        window = parent;
    }
    return None;
}

} // namespace

bool X11WindowLocator::listsClientOf(pid_t pid)
{
    const Atom clientList = XInternAtom(m_display, "_NET_CLIENT_LIST", True);
    const Atom netWmPid = XInternAtom(m_display, "_NET_WM_PID", True);
    if (clientList == None || netWmPid == None)
        return false;
    for (unsigned long item : longsProperty(m_display, DefaultRootWindow(m_display), clientList, XA_WINDOW, 4096)) {
        if (pidProperty(m_display, static_cast<Window>(item), netWmPid) == pid)
            return true;
    }
    return false;
}

std::optional<X11WindowLocator::ActiveClient> X11WindowLocator::activeClient()
{
    const Atom activeAtom = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", True);
    const Atom netWmPid = XInternAtom(m_display, "_NET_WM_PID", True);
    const auto active = longsProperty(m_display, DefaultRootWindow(m_display), activeAtom, XA_WINDOW, 1);
    if (active.empty() || active.front() == None || netWmPid == None)
        return std::nullopt;
    const auto window = static_cast<Window>(active.front());
    ActiveClient client{pidProperty(m_display, window, netWmPid), titleOf(m_display, window)};
    if (client.pid <= 0)
        return std::nullopt;
    return client;
}

std::optional<X11WindowLocator::ClientWindow> X11WindowLocator::clientWindowOf(pid_t pid, const std::string& title)
{
    Window root = DefaultRootWindow(m_display);
    const Atom clientList = XInternAtom(m_display, "_NET_CLIENT_LIST", True);
    const Atom netWmPid = XInternAtom(m_display, "_NET_WM_PID", True);
    const Atom activeAtom = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", True);
    const Atom frameAtom = XInternAtom(m_display, "_GTK_FRAME_EXTENTS", True);
    if (clientList == None || netWmPid == None)
        return std::nullopt;
    const auto active = longsProperty(m_display, root, activeAtom, XA_WINDOW, 1);
    const Window activeWindow = active.empty() ? None : static_cast<Window>(active.front());
    std::vector<Window> ofProcess, titled;
    for (unsigned long item : longsProperty(m_display, root, clientList, XA_WINDOW, 4096)) {
        const auto window = static_cast<Window>(item);
        if (pidProperty(m_display, window, netWmPid) != pid)
            continue;
        ofProcess.push_back(window);
        if (titleOf(m_display, window) == title)
            titled.push_back(window);
    }
    const std::vector<Window>& candidates = titled.empty() ? ofProcess : titled;
    Window chosen = None;
    if (candidates.size() == 1)
        chosen = candidates.front();
    for (Window window : candidates) {
        if (window == activeWindow)
            chosen = window;
    }
    if (chosen == None)
        return std::nullopt;
    XWindowAttributes attributes;
    Window child = None;
    ClientWindow client;
    if (!XGetWindowAttributes(m_display, chosen, &attributes)
        || !XTranslateCoordinates(m_display, chosen, root, 0, 0, &client.x, &client.y, &child))
        return std::nullopt;
    client.width = attributes.width;
    client.height = attributes.height;
    const Window frame = topLevelOf(m_display, chosen);
    if (frame == None || !XTranslateCoordinates(m_display, frame, root, 0, 0, &client.frameX, &client.frameY, &child))
        return std::nullopt;
    const auto extents = longsProperty(m_display, chosen, frameAtom, XA_CARDINAL, 4);
    if (extents.size() == 4)
        client.frameExtents = Gtk4Conventions::FrameExtents{static_cast<int>(extents[0]), static_cast<int>(extents[1]),
            static_cast<int>(extents[2]), static_cast<int>(extents[3])};
    return client;
}

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
