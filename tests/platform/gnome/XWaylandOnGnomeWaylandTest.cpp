// An X client on the private GNOME Wayland desktop, run with XWayland
// (run-gnome-wayland-tests.sh with VELMORA_TEST_XWAYLAND=1): a Qt 5 message
// box on the xcb platform. AT-SPI gives it X screen positions, mutter counts
// window-relative moves from the corner of its frame window, invisible
// borders included. The box reports where the pointer rested on its button,
// in its own coordinates.

#include "tests/platform/wayland/WaylandAgentTest.h"

#include <sstream>

namespace velmora::wayland::testing {
namespace {

TEST(XWaylandOnGnomeWaylandTest, ThePointerRestsOnAQt5MessageBoxsDefaultButtonAtTheAgentsSpot)
{
    if (!compositorControl())
        GTEST_FAIL() << kNoPrivateDesktop;
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no XWayland: run-gnome-wayland-tests.sh runs it with VELMORA_TEST_XWAYLAND=1";
    ASSERT_LE(atspi_init(), 1);
    const TemporaryFolder dir;
    AgentProcess agent(dir / "agent.log");
    ASSERT_TRUE(saidItsDesktop(agent, "Desktop: GNOME on Wayland"));

    ScopedVariable xcb("QT_QPA_PLATFORM", "xcb");
    EnterDialog dialog("Save changes? (qt5 on X11)", QT_DIALOG_SCRIPT, "qt5");
    ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
    ASSERT_TRUE(dialog.has("platform xcb")) << "Qt chose another platform";
    const auto drawn = dialog.waitForLine("button Save ", 0);
    ASSERT_TRUE(drawn);
    std::istringstream words(*drawn);
    std::string verb, name;
    Area save;
    ASSERT_TRUE(words >> verb >> name >> save.x >> save.y >> save.width >> save.height) << *drawn;
    // What AT-SPI says of the button is the size the box drew it at.
    const auto accessible = dialog.accessibleButton("Save");
    ASSERT_TRUE(accessible);
    EXPECT_EQ(accessible->width, save.width);
    EXPECT_EQ(accessible->height, save.height);

    dialog.expectRestsAt("Save", save.x + save.width - 15, save.y + save.height / 2, agent.log());
    EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
}

} // namespace
} // namespace velmora::wayland::testing
