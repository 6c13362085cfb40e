#pragma once

#include "platform/linux/Gtk4Conventions.h"

#include <optional>
#include <string>
#include <sys/types.h>

typedef struct _XDisplay Display; // Xlib's; its header defines macros that clash with ours

namespace velmora::linux_desktop {

// Which process shows the window at a point of the root window, and where a
// process's window lies on the screen.
class X11WindowLocator {
public:
    explicit X11WindowLocator(Display* display);

    // A client window as the X server places it: its top-left corner in
    // root coordinates, its size, and the invisible margin its toolkit
    // announces (_GTK_FRAME_EXTENTS), if any.
    struct ClientWindow {
        int x{0};
        int y{0};
        int width{0};
        int height{0};
        std::optional<Gtk4Conventions::FrameExtents> frameExtents;
        // The corner of the window manager's frame around it (its top-level
        // below the root), invisible borders included, in root coordinates;
        // the client's own corner when nothing frames it.
        int frameX{0};
        int frameY{0};
    };
    // The window manager's client window of process `pid` titled `title`
    // (_NET_WM_NAME, else WM_NAME). Of several alike, the active one; of
    // several titled otherwise, the only one or the active one. None without
    // a window manager that lists its clients.
    std::optional<ClientWindow> clientWindowOf(pid_t pid, const std::string& title);
    // Whether the window manager lists a client window of process `pid`.
    bool listsClientOf(pid_t pid);

    // The process and title of the window manager's active window
    // (_NET_ACTIVE_WINDOW); none when no window is active.
    struct ActiveClient {
        pid_t pid{0};
        std::string title;
    };
    std::optional<ActiveClient> activeClient();

    // The _NET_WM_PID of the topmost client window containing the point; 0
    // when the point shows the bare desktop or the window names no process.
    pid_t pidOfWindowAt(int x, int y);

private:
    Display* m_display; // not owned; the desktop backend owns the connection
};

} // namespace velmora::linux_desktop
