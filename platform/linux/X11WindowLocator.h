#pragma once

#include <sys/types.h>

typedef struct _XDisplay Display; // Xlib's; its header defines macros that clash with ours

namespace velmora::linux_desktop {

// Which process shows the window at a point of the root window.
class X11WindowLocator {
public:
    explicit X11WindowLocator(Display* display);

    // The _NET_WM_PID of the topmost client window containing the point; 0
    // when the point shows the bare desktop or the window names no process.
    pid_t pidOfWindowAt(int x, int y);

private:
    Display* m_display; // not owned; the desktop backend owns the connection
};

} // namespace velmora::linux_desktop
