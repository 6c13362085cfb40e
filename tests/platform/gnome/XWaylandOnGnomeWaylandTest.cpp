// An X client on the private GNOME Wayland desktop, run with XWayland
// (run-gnome-wayland-tests.sh with VELMORA_TEST_XWAYLAND=1): a Qt 5 message
// box on the xcb platform. AT-SPI gives it X screen positions, mutter counts
// window-relative moves from the corner of its frame window, invisible
// borders included. The box reports where the pointer rested on its button,
// in its own coordinates.

#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

class XWaylandOnGnomeWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("VELMORA_TEST_MUTTER_CTL"))
            GTEST_FAIL() << "no private GNOME desktop: run through run-gnome-wayland-tests.sh";
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no XWayland: run-gnome-wayland-tests.sh runs it with VELMORA_TEST_XWAYLAND=1";
        ASSERT_LE(atspi_init(), 1);
        char pattern[] = "/tmp/velmora-gnome-xwayland.XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    fs::path m_dir;
};

TEST_F(XWaylandOnGnomeWaylandTest, ThePointerRestsOnAQt5MessageBoxsDefaultButtonAtTheAgentsSpot)
{
    AgentProcess agent(m_dir / "agent.log");
    ASSERT_TRUE(pumpUntil([&] { return agent.log().find("Desktop: ") != std::string::npos; }, 10000)) << agent.log();
    ASSERT_NE(agent.log().find("Desktop: GNOME on Wayland"), std::string::npos) << agent.log();
    pumpFor(500);

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
} // namespace velmora::gnome::testing
