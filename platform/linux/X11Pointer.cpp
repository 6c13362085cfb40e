#include "platform/linux/X11Pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velmora::linux_desktop {

X11Pointer::X11Pointer(Display* display, SystemLog& log)
    : m_display(display)
    , m_log(log)
    , m_root(DefaultRootWindow(display))
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    m_hasXTest = XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor);
    // XWayland may well report a move as done that the compositor never
    // made, so the session's kind is believed before the server's answer.
    if (isWaylandSession()) {
        m_reportedUnmovable = true;
        m_log.log(kCannotMoveLine);
    }
}

// static
bool X11Pointer::isWaylandSession()
{
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (wayland && *wayland) || (type && std::strcmp(type, "wayland") == 0);
}

void X11Pointer::moveTo(CGPoint point)
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
    // Round trip: the next location() must already see the move.
    XSync(m_display, False);

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

CGPoint X11Pointer::location()
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

bool X11Pointer::queryPointer(int& x, int& y, unsigned int& mask)
{
    Window rootReturn = 0, child = 0;
    Window root = m_root;
    int winX = 0, winY = 0;
    if (!XQueryPointer(m_display, root, &rootReturn, &child, &x, &y, &winX, &winY, &mask))
        return false;
    m_knowsLast = true;
    m_lastX = x;
    m_lastY = y;
    return true;
}

} // namespace velmora::linux_desktop
