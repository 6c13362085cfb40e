#include "platform/linux/XWaylandWindows.h"

#include "platform/SystemLog.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowLocator.h"

namespace velmora::linux_desktop {

XWaylandWindows::XWaylandWindows(std::string display, SystemLog& log) : m_display(std::move(display)), m_log(log) { }

XWaylandWindows::~XWaylandWindows() = default;

X11WindowLocator* XWaylandWindows::windows()
{
    // Dropped here, outside the Xlib call that found the break.
    if (m_connection && m_connection->lost()) {
        m_windows.reset();
        m_connection.reset();
    }
    if (!m_connection) {
        const auto now = std::chrono::steady_clock::now();
        if (!m_attempted || now - m_lastAttempt >= std::chrono::milliseconds(kRetryMs)) {
            m_attempted = true;
            m_lastAttempt = now;
            connect();
        }
    }
    return m_windows.get();
}

void XWaylandWindows::connect()
{
    m_connection = X11Connection::open(m_display.c_str());
    if (!m_connection)
        return;
    m_connection->survivesServerLoss([this] {
        m_log.log("XWayland's display " + m_display + " has gone: X clients' windows are placed as Wayland ones until it returns");
    });
    m_windows = std::make_unique<X11WindowLocator>(m_connection->display());
}

} // namespace velmora::linux_desktop
