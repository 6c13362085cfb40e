#pragma once

#include "platform/linux/SourceGuard.h"
#include "platform/linux/XDisplayPtr.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

typedef union _XEvent XEvent;

namespace velmora::linux_desktop {

// The process's one connection to the X server. Its events are read from the
// GLib main loop and handed to whoever registered for them. Opening it
// installs an X error handler that absorbs the errors a desktop client must
// expect (a window or property vanishing between two requests) and passes
// every other error to Xlib's handler, which ends the process as before.
class X11Connection {
public:
    using EventHandler = std::function<void(const XEvent&)>;

    // Null when no X display can be opened (`name` null: $DISPLAY).
    static std::unique_ptr<X11Connection> open(const char* name = nullptr);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* display() const { return m_display.get(); }

    // Receives every event read from the server. Returns an id for removal.
    int addEventHandler(EventHandler handler);
    void removeEventHandler(int id);

    // Reads and dispatches the events that have arrived.
    void processEvents();

    // How many errors the handler absorbed (for tests and diagnostics).
    static int absorbedErrorCount();

    // Lets the process outlive the server (Xlib ends it by default): once the
    // connection breaks, requests on it fail at once, no event is read, and
    // `onLost` runs once, from inside the Xlib call that found the break, so
    // it must not call Xlib. Destroy the connection afterwards, outside.
    void survivesServerLoss(std::function<void()> onLost);
    bool lost() const { return m_lost; }

private:
    explicit X11Connection(XDisplayPtr display);
    static gboolean onReadable(gint fd, GIOCondition condition, gpointer data);
    static void onServerLost(Display* display, void* data);

    XDisplayPtr m_display;
    SourceGuard m_source;
    std::map<int, EventHandler> m_handlers;
    int m_nextHandlerId{1};
    std::function<void()> m_onLost;
    bool m_lost{false};
};

} // namespace velmora::linux_desktop
