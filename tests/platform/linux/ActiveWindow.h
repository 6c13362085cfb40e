#pragma once

// Which program the window manager made active, and making another one
// active, as a person would. Include after gtest and gtkmm: Xlib's macros
// (None, Bool) break their headers.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <sys/types.h>

namespace velmora::linux_desktop::testing {

// Windows may be gone by the time they are asked about: Xlib's default
// handler would end the test program over that.
class IgnoreXErrors {
public:
    explicit IgnoreXErrors(Display* display) : m_display(display)
    {
        XSync(m_display, False);
        m_previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~IgnoreXErrors()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    IgnoreXErrors(const IgnoreXErrors&) = delete;
    IgnoreXErrors& operator=(const IgnoreXErrors&) = delete;

private:
    Display* m_display;
    XErrorHandler m_previous{nullptr};
};

// One CARDINAL or WINDOW value of a window's property; 0 when it has none.
inline unsigned long propertyValue(Display* display, Window window, const char* name, Atom type)
{
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, type, &actual, &format, &count,
            &after, &data) == Success && data && count == 1 && format == 32)
        value = *reinterpret_cast<unsigned long*>(data);
    if (data)
        XFree(data);
    return value;
}

// The process whose window the window manager says is active.
inline pid_t activePid(Display* display)
{
    IgnoreXErrors scope(display);
    const Window active = propertyValue(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active ? static_cast<pid_t>(propertyValue(display, active, "_NET_WM_PID", XA_CARDINAL)) : 0;
}

// Asks the window manager to activate `pid`'s window, as a taskbar does
// when the user picks it.
inline void activate(Display* display, pid_t pid)
{
    IgnoreXErrors scope(display);
    const Window root = DefaultRootWindow(display);
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), 0, 1024, False, XA_WINDOW, &actual, &format,
        &count, &after, &data);
    for (unsigned long i = 0; data && i < count; ++i) {
        const Window client = reinterpret_cast<unsigned long*>(data)[i];
        if (static_cast<pid_t>(propertyValue(display, client, "_NET_WM_PID", XA_CARDINAL)) != pid)
            continue;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = client;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2; // from a pager: the user's own choice
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    }
    if (data)
        XFree(data);
    XFlush(display);
}

inline void pressKey(Display* display, KeySym key)
{
    const KeyCode code = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

} // namespace velmora::linux_desktop::testing
