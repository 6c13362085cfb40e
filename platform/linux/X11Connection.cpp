#include "platform/linux/X11Connection.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <csignal>
#include <set>

namespace velmora::linux_desktop {

void XDisplayDeleter::operator()(Display* display) const
{
    XCloseDisplay(display);
}

namespace {

XErrorHandler s_previousHandler = nullptr;
XIOErrorHandler s_previousIOHandler = nullptr;
int s_absorbedErrors = 0;
// The connections whose loss the process outlives.
std::set<Display*> s_survivable;

int onXIOError(Display* display)
{
    // Xlib's own handler prints its complaint (and, before libX11 1.7,
    // exits): the owner of a survivable connection says it in its own words.
    if (s_survivable.count(display))
        return 0;
    return s_previousIOHandler ? s_previousIOHandler(display) : 0;
}

int onXError(Display* display, XErrorEvent* error)
{
    // A window found a moment ago can be gone by the next request: queries on
    // other clients' windows race with those clients. That is not a fault.
    switch (error->error_code) {
    case BadWindow:
    case BadDrawable:
    case BadMatch:
    case BadAtom:
    case BadValue:
        ++s_absorbedErrors;
        return 0;
    default:
        return s_previousHandler ? s_previousHandler(display, error) : 0;
    }
}

} // namespace

// static
std::unique_ptr<X11Connection> X11Connection::open(const char* name)
{
    XDisplayPtr display(XOpenDisplay(name));
    if (!display)
        return nullptr;
    if (!s_previousHandler) {
        XErrorHandler previous = XSetErrorHandler(onXError);
        s_previousHandler = previous;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(std::move(display)));
}

X11Connection::X11Connection(XDisplayPtr display) : m_display(std::move(display))
{
    m_source = SourceGuard::fd(ConnectionNumber(m_display.get()), G_IO_IN, &X11Connection::onReadable, this, "[velmora] X events");
}

X11Connection::~X11Connection()
{
    m_source.stop();
    s_survivable.erase(m_display.get());
}

void X11Connection::survivesServerLoss(std::function<void()> onLost)
{
    m_onLost = std::move(onLost);
    if (!s_previousIOHandler)
        s_previousIOHandler = XSetIOErrorHandler(onXIOError);
    s_survivable.insert(m_display.get());
    XSetIOErrorExitHandler(m_display.get(), &X11Connection::onServerLost, this);
    // A write to the server's closed socket would otherwise end the process
    // by SIGPIPE before Xlib sees the break.
    std::signal(SIGPIPE, SIG_IGN);
}

// static
void X11Connection::onServerLost(Display*, void* data)
{
    auto* self = static_cast<X11Connection*>(data);
    if (self->m_lost)
        return;
    self->m_lost = true;
    // The hung-up socket stays readable: watching it would spin.
    self->m_source.stop();
    if (self->m_onLost)
        self->m_onLost();
}

int X11Connection::addEventHandler(EventHandler handler)
{
    int id = m_nextHandlerId++;
    m_handlers.emplace(id, std::move(handler));
    return id;
}

void X11Connection::removeEventHandler(int id)
{
    m_handlers.erase(id);
}

void X11Connection::processEvents()
{
    Display* display = m_display.get();
    while (!m_lost && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        // A handler may remove itself (or another): look each one up anew.
        for (int id = 1; id < m_nextHandlerId; ++id) {
            auto it = m_handlers.find(id);
            if (it == m_handlers.end())
                continue;
            auto handler = it->second;
            handler(event);
        }
    }
}

// static
int X11Connection::absorbedErrorCount()
{
    return s_absorbedErrors;
}

// static
gboolean X11Connection::onReadable(gint, GIOCondition, gpointer data)
{
    static_cast<X11Connection*>(data)->processEvents();
    return G_SOURCE_CONTINUE;
}

} // namespace velmora::linux_desktop
