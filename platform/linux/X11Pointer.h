#pragma once

#include "platform/Pointer.h"
#include "platform/SystemLog.h"
#include "platform/linux/X11Connection.h"

#include <cstdint>


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
//
// A reading is used again for a moment (kReadingReuseMs) unless the server
// reports input from any device meanwhile (XInput2 raw events, which every
// mouse, touchpad and XTest motion or button produces): the engine reads the
// pointer several times around one snap, and each round trip waits on a
// server busy drawing the dialog. Only a warp by another program goes
// unreported, for that moment at most. Input is watched from a reading to the
// first report after it, so a moving mouse does not wake the agent for every
// motion. Without XInput2 every reading asks.
class X11Pointer final : public Pointer {
public:
    static constexpr int kReadingReuseMs = 20;

    // Both borrowed; they outlive the pointer.
    X11Pointer(X11Connection& connection, SystemLog& log, int readingReuseMs = kReadingReuseMs);
    ~X11Pointer() override;
    X11Pointer(const X11Pointer&) = delete;
    X11Pointer& operator=(const X11Pointer&) = delete;

    void moveTo(Point point) override;
    Point location() override;
    bool anyButtonDown() override;

    bool usesXTest() const { return m_hasXTest; }
    // Warps instead, as on a server without XTest (for tests).
    void setUsesXTest(bool uses) { m_hasXTest = uses && m_hasXTest; }
    bool reportedUnmovable() const { return m_reportedUnmovable; }
    // From the session's environment (WAYLAND_DISPLAY, XDG_SESSION_TYPE).
    static bool isWaylandSession();

    static constexpr const char* kCannotMoveLine =
        "The pointer cannot be moved on this desktop (a Wayland session does not let programs move it); "
        "Velmora keeps running but will not snap.";

private:
    bool queryPointer(int& x, int& y, unsigned int& mask);
    // The last reading when nothing can have moved the pointer since.
    bool reuseReading(int& x, int& y, unsigned int& mask);
    void watchInput();
    void selectInput(bool on);

    X11Connection& m_connection;
    Display* m_display;
    SystemLog& m_log;
    unsigned long m_root; // the root window's id
    bool m_hasXTest{false};
    bool m_reportedUnmovable{false};
    // The pointer's location as the server last told it.
    bool m_knowsLast{false};
    int m_lastX{0};
    int m_lastY{0};
    unsigned int m_lastMask{0};
    int64_t m_lastAt{0}; // monotonic microseconds
    bool m_inputSinceLast{true};
    bool m_watchesInput{false};
    bool m_inputSelected{false};
    int m_xinputOpcode{0};
    int m_handler{0};
    int m_readingReuseMs;
};

} // namespace velmora::linux_desktop
