#pragma once

#include "platform/Pointer.h"
#include "platform/SystemLog.h"


typedef struct _XDisplay Display; // Xlib's; its header defines macros that clash with ours

namespace velmora::linux_desktop {

// The pointer of the X server. Global coordinates are root-window pixels.
// Moves are XTest motion events (what a real mouse produces, so applications
// see the pointer arrive), or a warp where the server lacks XTest; neither
// ever presses a button.
//
// Under Wayland an X client cannot move the real pointer: the server accepts
// the request and the pointer stays put. A Wayland session is reported with
// one log line when the pointer is made; elsewhere the first move that does
// not land is. The agent keeps running (it still answers the pane) and later
// moves are tried silently.
class X11Pointer final : public Pointer {
public:
    // Both borrowed; they outlive the pointer.
    X11Pointer(Display* display, SystemLog& log);

    void moveTo(CGPoint point) override;
    CGPoint location() override;
    bool anyButtonDown() override;

    bool usesXTest() const { return m_hasXTest; }
    bool reportedUnmovable() const { return m_reportedUnmovable; }
    // From the session's environment (WAYLAND_DISPLAY, XDG_SESSION_TYPE).
    static bool isWaylandSession();

    static constexpr const char* kCannotMoveLine =
        "The pointer cannot be moved on this desktop (a Wayland session does not let programs move it); "
        "Velmora keeps running but will not snap.";

private:
    bool queryPointer(int& x, int& y, unsigned int& mask);

    Display* m_display; // not owned; the desktop backend owns the connection
    SystemLog& m_log;
    unsigned long m_root; // the root window's id
    bool m_hasXTest{false};
    bool m_reportedUnmovable{false};
    // The pointer's location as the server last told it.
    bool m_knowsLast{false};
    int m_lastX{0};
    int m_lastY{0};
};

} // namespace velmora::linux_desktop
