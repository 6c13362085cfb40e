#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace velmora {
class SystemLog;
}

namespace velmora::linux_desktop {

class X11Connection;
class X11WindowLocator;

// In a Wayland session, the X server that serves X clients (XWayland), when
// $DISPLAY names one: it alone knows where those clients' windows and their
// window manager frames lie. Optional: without it X clients' windows are
// placed as Wayland ones. The compositor restarting takes XWayland with it;
// the connection is then dropped (logged once) and opened again when asked
// for, at most once every kRetryMs.
class XWaylandWindows {
public:
    static constexpr int kRetryMs = 2000;

    // `display` as $DISPLAY gives it; nothing is opened before windows().
    XWaylandWindows(std::string display, SystemLog& log);
    ~XWaylandWindows();
    XWaylandWindows(const XWaylandWindows&) = delete;
    XWaylandWindows& operator=(const XWaylandWindows&) = delete;

    // The locator on the live connection; null while there is none. Valid
    // until the next call.
    X11WindowLocator* windows();

private:
    void connect();

    std::string m_display;
    SystemLog& m_log;
    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11WindowLocator> m_windows;
    std::chrono::steady_clock::time_point m_lastAttempt{};
    bool m_attempted{false};
};

} // namespace velmora::linux_desktop
