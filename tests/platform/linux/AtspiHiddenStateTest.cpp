// "AXHidden" on the real desktop: an application whose windows are all
// iconified, told by the window manager as a user's minimise would be.
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/DesktopSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <gtest/gtest.h>

#include <vector>

namespace velmora::linux_desktop::testing {
namespace {

// The top-level X window of a process, as the window manager lists it; 0 when none.
Window clientWindowOf(Display* display, pid_t pid)
{
    auto property = [display](Window window, const char* name, Atom type, unsigned long& count) {
        Atom actualType = 0;
        int format = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        count = 0;
        XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type, &actualType, &format,
            &count, &after, &data);
        std::vector<unsigned long> values;
        if (data && format == 32)
            values.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + count);
        if (data)
            XFree(data);
        return values;
    };
    unsigned long count = 0;
    for (unsigned long window : property(DefaultRootWindow(display), "_NET_CLIENT_LIST", XA_WINDOW, count)) {
        auto owner = property(window, "_NET_WM_PID", XA_CARDINAL, count);
        if (!owner.empty() && static_cast<pid_t>(owner[0]) == pid)
            return window;
    }
    return 0;
}

TEST(AtspiHiddenStateTest, AnApplicationWhoseOnlyWindowIsIconifiedIsHiddenAndNotFrontmost)
{
    DesktopSession session;
    ASSERT_TRUE(session.isReady()) << "no private desktop: run through run-desktop-tests.sh";
    Program zenity({"zenity", "--info", "--title=Shy", "--text=Minimise me"});
    ASSERT_TRUE(session.waitForActiveWindow(zenity.pid()));
    AccessibleElement app = session.ax().createApplication(zenity.pid());
    EXPECT_EQ(session.read(app, "AXHidden"), AttributeValue(false));
    Display* display = session.x11().display();
    Window window = 0;
    ASSERT_TRUE(pumpUntil([&] { return (window = clientWindowOf(display, zenity.pid())) != 0; }, 5));

    XIconifyWindow(display, window, DefaultScreen(display));
    XSync(display, False);
    EXPECT_TRUE(pumpUntil([&] { return session.read(app, "AXHidden") == AttributeValue(true); }, 5));
    EXPECT_EQ(session.read(app, "AXFrontmost"), AttributeValue(false));

    // Brought back as a task bar would, through the window manager.
    XEvent activate{};
    activate.xclient.type = ClientMessage;
    activate.xclient.window = window;
    activate.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    activate.xclient.format = 32;
    activate.xclient.data.l[0] = 2; // from a pager
    activate.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &activate);
    XSync(display, False);
    EXPECT_TRUE(pumpUntil([&] { return session.read(app, "AXHidden") == AttributeValue(false); }, 5));
    EXPECT_TRUE(pumpUntil([&] { return session.read(app, "AXFrontmost") == AttributeValue(true); }, 5));
}

} // namespace
} // namespace velmora::linux_desktop::testing
