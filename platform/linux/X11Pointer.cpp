#include "platform/linux/X11Pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <glib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velmora::linux_desktop {

X11Pointer::X11Pointer(X11Connection& connection, SystemLog& log, int readingReuseMs)
    : m_connection(connection)
    , m_display(connection.display())
    , m_log(log)
    , m_root(DefaultRootWindow(m_display))
    , m_readingReuseMs(readingReuseMs)
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_hasXTest = XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor);
    watchInput();
    // XWayland may well report a move as done that the compositor never
    // made, so the session's kind is believed before the server's answer.
    if (isWaylandSession()) {
        m_reportedUnmovable = true;
        m_log.log(kCannotMoveLine);
    }
}

X11Pointer::~X11Pointer()
{
    if (m_handler)
        m_connection.removeEventHandler(m_handler);
}

void X11Pointer::watchInput()
{
    int opcode = 0, eventBase = 0, errorBase = 0;
    if (!XQueryExtension(m_display, "XInputExtension", &opcode, &eventBase, &errorBase))
        return;
    int major = 2, minor = 0;
    if (XIQueryVersion(m_display, &major, &minor) != Success || major < 2)
        return;
    m_xinputOpcode = opcode;
    m_watchesInput = true;
    m_handler = m_connection.addEventHandler([this](const XEvent& event) {
        if (event.xcookie.type != GenericEvent || event.xcookie.extension != m_xinputOpcode)
            return;
        // One report is all a reading needs; more would wake the agent for
        // every motion of a moving mouse.
        m_inputSinceLast = true;
        selectInput(false);
    });
}

void X11Pointer::selectInput(bool on)
{
    if (!m_watchesInput || on == m_inputSelected)
        return;
    // Every device, not the master pointer only: a master's raw release is
    // withheld while a button press holds its implicit grab, and a button
    // would then read as held for good.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (on) {
        XISetMask(bits, XI_RawMotion);
        XISetMask(bits, XI_RawButtonPress);
        XISetMask(bits, XI_RawButtonRelease);
    }
    XIEventMask mask{XIAllDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(m_display, m_root, &mask, 1);
    m_inputSelected = on;
}

// static
bool X11Pointer::isWaylandSession()
{
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (wayland && *wayland) || (type && std::strcmp(type, "wayland") == 0);
}

void X11Pointer::moveTo(Point point)
{
    const int x = static_cast<int>(std::lround(point.x));
    const int y = static_cast<int>(std::lround(point.y));
    // Where the pointer was when last asked: the engine asks just before it
    // moves, so asking again would only hold the move up by a round trip.
    const bool knewBefore = m_knowsLast;
    const int beforeX = m_lastX, beforeY = m_lastY;

    if (m_hasXTest)
        XTestFakeMotionEvent(m_display, -1, x, y, CurrentTime);
    else
        XWarpPointer(m_display, None, m_root, 0, 0, 0, 0, x, y);
    // Round trip: the next location() must already see the move. A warp
    // reports no input, so the reading before it is dropped here.
    XSync(m_display, False);
    m_inputSinceLast = true;

    int afterX = 0, afterY = 0;
    unsigned int mask = 0;
    if (m_reportedUnmovable || !queryPointer(afterX, afterY, mask) || !knewBefore)
        return;
    // A target off every screen is clamped by the server, so only a pointer
    // that stayed exactly where it was says that we cannot move it (one the
    // user moved since it was last asked only delays the report).
    if ((afterX != x || afterY != y) && afterX == beforeX && afterY == beforeY) {
        m_reportedUnmovable = true;
        m_log.log(kCannotMoveLine);
    }
}

Point X11Pointer::location()
{
    int x = 0, y = 0;
    unsigned int mask = 0;
    queryPointer(x, y, mask);
    return {static_cast<float>(x), static_cast<float>(y)};
}

bool X11Pointer::anyButtonDown()
{
    int x = 0, y = 0;
    unsigned int mask = 0;
    if (!queryPointer(x, y, mask))
        return false;
    return (mask & (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

bool X11Pointer::reuseReading(int& x, int& y, unsigned int& mask)
{
    if (!m_watchesInput || !m_knowsLast)
        return false;
    if (m_inputSinceLast || g_get_monotonic_time() - m_lastAt > static_cast<int64_t>(m_readingReuseMs) * 1000)
        return false;
    x = m_lastX;
    y = m_lastY;
    mask = m_lastMask;
    return true;
}

bool X11Pointer::queryPointer(int& x, int& y, unsigned int& mask)
{
    // What the server has sent so far, without waiting on it.
    if (m_watchesInput)
        m_connection.processEvents();
    if (reuseReading(x, y, mask))
        return true;
    Window rootReturn = 0, child = 0;
    Window root = m_root;
    int winX = 0, winY = 0;
    // Watched from before the query on (the server takes requests in order);
    // input read in while waiting for the reply only costs the reading its
    // next reuse.
    selectInput(true);
    m_inputSinceLast = false;
    if (!XQueryPointer(m_display, root, &rootReturn, &child, &x, &y, &winX, &winY, &mask)) {
        m_knowsLast = false;
        return false;
    }
    m_knowsLast = true;
    m_lastX = x;
    m_lastY = y;
    m_lastMask = mask;
    m_lastAt = g_get_monotonic_time();
    return true;
}

} // namespace velmora::linux_desktop
