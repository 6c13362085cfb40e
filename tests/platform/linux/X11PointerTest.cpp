#include "platform/linux/X11Pointer.h"

#include "platform/linux/X11Screens.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/ScopedVariable.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop::testing {
namespace {

class RecordingLog final : public SystemLog {
public:
    void log(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

class X11PointerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_x11 = X11Connection::open();
        if (!m_x11)
            GTEST_FAIL() << "no X display: run through run-desktop-tests.sh";
    }

    // Where the server says the pointer is, asked without our code.
    std::pair<int, int> serverPointer()
    {
        Display* display = m_x11->display();
        Window root = DefaultRootWindow(display), rootReturn = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned int mask = 0;
        XQueryPointer(display, root, &rootReturn, &child, &x, &y, &wx, &wy, &mask);
        return {x, y};
    }

    std::unique_ptr<X11Connection> m_x11;
    RecordingLog m_log;
};

TEST_F(X11PointerTest, AMoveLandsWhereTheServerSaysAndPressesNothing)
{
    X11Pointer pointer(*m_x11, m_log);
    EXPECT_TRUE(pointer.usesXTest());
    pointer.moveTo({300.4f, 200.6f});
    EXPECT_EQ(serverPointer(), std::make_pair(300, 201));
    EXPECT_EQ(pointer.location(), (Point{300, 201}));
    EXPECT_FALSE(pointer.anyButtonDown());

    pointer.moveTo({17, 23});
    EXPECT_EQ(serverPointer(), std::make_pair(17, 23));
    EXPECT_EQ(pointer.location(), (Point{17, 23}));
    EXPECT_TRUE(m_log.lines.empty());
    EXPECT_FALSE(pointer.reportedUnmovable());
}

// A server without XTest is warped, which reports no input: the pointer's own
// move must still show at once, and is not taken for a refused one.
TEST_F(X11PointerTest, AWarpedMoveIsSeenAtOnce)
{
    X11Pointer pointer(*m_x11, m_log, 60 * 1000);
    pointer.setUsesXTest(false);
    ASSERT_EQ((pointer.moveTo({31, 32}), pointer.location()), (Point{31, 32}));
    pointer.moveTo({33, 34});
    EXPECT_EQ(pointer.location(), (Point{33, 34}));
    EXPECT_FALSE(pointer.reportedUnmovable());
}

TEST_F(X11PointerTest, AHeldButtonIsSeen)
{
    X11Pointer pointer(*m_x11, m_log);
    pointer.moveTo({5, 5});
    Display* display = m_x11->display();
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pointer.anyButtonDown());
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    EXPECT_FALSE(pointer.anyButtonDown());
}

// Readings are used again while no device reports input; here for as long as
// the test runs, so that only the server's reports can make them fresh.
TEST_F(X11PointerTest, InputFromAnyDeviceOrClientIsSeenAtTheNextReading)
{
    X11Pointer pointer(*m_x11, m_log, 60 * 1000);
    pointer.moveTo({50, 60});
    ASSERT_EQ(pointer.location(), (Point{50, 60}));

    // Another client's device: the hand on the mouse.
    auto hand = X11Connection::open();
    ASSERT_TRUE(hand);
    Display* display = hand->display();
    XTestFakeMotionEvent(display, -1, 70, 80, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pumpUntil([&] { return pointer.location() == Point{70, 80}; }, 2));

    // A press and its release, the release while the press's grab holds.
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pumpUntil([&] { return pointer.anyButtonDown(); }, 2));
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pumpUntil([&] { return !pointer.anyButtonDown(); }, 2));
}

// A warp by another program reports no input: it shows once the reading is
// older than its short reuse.
TEST_F(X11PointerTest, AWarpByAnotherProgramIsSeenOnceTheReadingIsOld)
{
    X11Pointer pointer(*m_x11, m_log);
    pointer.moveTo({90, 100});
    ASSERT_EQ(pointer.location(), (Point{90, 100}));
    auto other = X11Connection::open();
    ASSERT_TRUE(other);
    Display* display = other->display();
    XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 110, 120);
    XSync(display, False);
    g_usleep((X11Pointer::kReadingReuseMs + 5) * 1000);
    EXPECT_EQ(pointer.location(), (Point{110, 120}));
}

TEST_F(X11PointerTest, AWaylandSessionIsReportedOnceAtTheStartAndMovesAreStillTried)
{
    // XWayland answers a move as if it were made: the session's kind decides.
    for (const char* variable : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE"}) {
        SCOPED_TRACE(variable);
        auto session = std::make_unique<ScopedVariable>(variable, std::string(variable) == "WAYLAND_DISPLAY" ? "wayland-0" : "wayland");
        RecordingLog log;
        X11Pointer pointer(*m_x11, log);
        session.reset();
        EXPECT_EQ(log.lines, std::vector<std::string>{X11Pointer::kCannotMoveLine});
        EXPECT_TRUE(pointer.reportedUnmovable());
        pointer.moveTo({40, 41});
        pointer.moveTo({42, 43});
        EXPECT_EQ(serverPointer(), std::make_pair(42, 43));
        EXPECT_EQ(log.lines.size(), 1u);
    }
    EXPECT_FALSE(X11Pointer::isWaylandSession());
}

TEST_F(X11PointerTest, ScreensAreTheServersMonitorsWithThePrimaryFirst)
{
    X11Screens screens(*m_x11);
    auto list = screens.screens();
    ASSERT_EQ(list.size(), 1u); // the harness's Xvfb has one 1280 x 800 screen
    EXPECT_EQ(list[0].frame.origin, (Point{0, 0}));
    EXPECT_EQ(list[0].frame.size, (Size{1280, 800}));
    EXPECT_EQ(list[0].scaleFactor, 1.0f);

    {
        const ScopedVariable scale("GDK_SCALE", "2");
        EXPECT_EQ(screens.mainScreenScaleFactor(), 2.0f);
    }
    EXPECT_EQ(screens.mainScreenScaleFactor(), 1.0f);
}

// The layout is kept between readings: a monitor added or removed by another
// client (a display settings tool) shows at the next reading all the same.
TEST_F(X11PointerTest, ScreensFollowMonitorsAddedAndRemovedByOthers)
{
    X11Screens screens(*m_x11);
    ASSERT_EQ(screens.screens().size(), 1u);

    auto settings = X11Connection::open();
    ASSERT_TRUE(settings);
    Display* display = settings->display();
    Window root = DefaultRootWindow(display);
    XRRMonitorInfo* monitor = XRRAllocateMonitor(display, 0);
    ASSERT_TRUE(monitor);
    monitor->name = XInternAtom(display, "velmora-test-monitor", False);
    monitor->x = 1280 - 400;
    monitor->y = 200;
    monitor->width = 400;
    monitor->height = 300;
    monitor->mwidth = 100;
    monitor->mheight = 75;
    XRRSetMonitor(display, root, monitor);
    XSync(display, False);

    std::vector<Screen> list;
    EXPECT_TRUE(pumpUntil([&] { list = screens.screens(); return list.size() == 2; }, 2));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].frame.size, (Size{400, 300}));
    EXPECT_EQ(list[1].frame.origin, (Point{880, 200}));

    // A primary lower than another monitor: frames stay in root pixels, so a
    // button on the primary is still found on a screen.
    XRRDeleteMonitor(display, root, monitor->name);
    monitor->primary = True;
    XRRSetMonitor(display, root, monitor);
    XSync(display, False);
    EXPECT_TRUE(pumpUntil([&] { list = screens.screens(); return list.size() == 2 && list[0].frame.size == Size{400, 300}; }, 2));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].frame.origin, (Point{880, 200}));
    EXPECT_EQ(list[1].frame.origin, (Point{0, 0}));
    EXPECT_TRUE(list[0].frame.contains(Point{1000, 400}));

    XRRDeleteMonitor(display, root, monitor->name);
    XSync(display, False);
    XRRFreeMonitors(monitor);
    EXPECT_TRUE(pumpUntil([&] { return screens.screens().size() == 1; }, 2));
}

} // namespace
} // namespace velmora::linux_desktop::testing
