#include "platform/linux/X11Pointer.h"

#include "platform/linux/X11Screens.h"
#include "platform/linux/DesktopSession.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
    X11Pointer pointer(m_x11->display(), m_log);
    EXPECT_TRUE(pointer.usesXTest());
    pointer.moveTo({300.4f, 200.6f});
    EXPECT_EQ(serverPointer(), std::make_pair(300, 201));
    EXPECT_EQ(pointer.location(), (CGPoint{300, 201}));
    EXPECT_FALSE(pointer.anyButtonDown());

    pointer.moveTo({17, 23});
    EXPECT_EQ(serverPointer(), std::make_pair(17, 23));
    EXPECT_TRUE(m_log.lines.empty());
    EXPECT_FALSE(pointer.reportedUnmovable());
}

TEST_F(X11PointerTest, AHeldButtonIsSeen)
{
    X11Pointer pointer(m_x11->display(), m_log);
    pointer.moveTo({5, 5});
    Display* display = m_x11->display();
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XSync(display, False);
    EXPECT_TRUE(pointer.anyButtonDown());
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    EXPECT_FALSE(pointer.anyButtonDown());
}

TEST_F(X11PointerTest, AWaylandSessionIsReportedOnceAtTheStartAndMovesAreStillTried)
{
    // XWayland answers a move as if it were made: the session's kind decides.
    for (const char* variable : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE"}) {
        SCOPED_TRACE(variable);
        const char* saved = std::getenv("XDG_SESSION_TYPE");
        const std::string savedType = saved ? saved : "";
        setenv(variable, std::string(variable) == "WAYLAND_DISPLAY" ? "wayland-0" : "wayland", 1);
        RecordingLog log;
        X11Pointer pointer(m_x11->display(), log);
        unsetenv("WAYLAND_DISPLAY");
        setenv("XDG_SESSION_TYPE", savedType.c_str(), 1);
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
    X11Screens screens(m_x11->display());
    auto list = screens.screens();
    ASSERT_EQ(list.size(), 1u); // the harness's Xvfb has one 1280 x 800 screen
    EXPECT_EQ(list[0].frame.origin, (NSPoint{0, 0}));
    EXPECT_EQ(list[0].frame.size, (CGSize{1280, 800}));
    EXPECT_EQ(list[0].scaleFactor, 1.0f);

    setenv("GDK_SCALE", "2", 1);
    EXPECT_EQ(screens.mainScreenScaleFactor(), 2.0f);
    unsetenv("GDK_SCALE");
    EXPECT_EQ(screens.mainScreenScaleFactor(), 1.0f);
}

} // namespace
} // namespace velmora::linux_desktop::testing
