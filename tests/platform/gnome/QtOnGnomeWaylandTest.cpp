// Qt dialogs on the private GNOME Wayland desktop, answered by the agent as
// installed. Debian's Qt 5 and Qt 6 run on Wayland there when their Wayland
// plugin is installed, and draw their own title bar and border: they count
// their positions from inside it, mutter from the surface's corner. Each
// dialog reports where the pointer came to rest on its own button, in its
// window's coordinates.

#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

class QtOnGnomeWaylandTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_LE(atspi_init(), 1);
        char pattern[] = "/tmp/velmora-gnome-qt.XXXXXX";
        s_dir = mkdtemp(pattern);
        s_agent = new AgentProcess(s_dir / "agent.log");
        // The agent looks at the applications already running before a new one counts.
        pumpUntil([] { return s_agent->log().find("Desktop: ") != std::string::npos; }, 10000);
        pumpFor(500);
    }
    static void TearDownTestSuite()
    {
        delete s_agent;
        s_agent = nullptr;
        fs::remove_all(s_dir);
    }

    static inline AgentProcess* s_agent{nullptr};
    static inline fs::path s_dir;
};

TEST_P(QtOnGnomeWaylandTest, ThePointerRestsOnTheDefaultButtonAtTheAgentsSpot)
{
    if (!std::getenv("VELMORA_TEST_MUTTER_CTL"))
        GTEST_FAIL() << "no private GNOME desktop: run through run-gnome-wayland-tests.sh";
    ASSERT_NE(s_agent->log().find("Desktop: GNOME on Wayland"), std::string::npos) << s_agent->log();

    // With XWayland about, Qt 5 on GNOME would take X11 (XWaylandOnGnomeWaylandTest).
    ScopedVariable wayland("QT_QPA_PLATFORM", "wayland");
    EnterDialog dialog(std::string("Save changes? (") + GetParam() + ")", QT_DIALOG_SCRIPT, GetParam());
    ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
    // On X11 (XWayland) Qt would count from the screen's corner: not this route.
    ASSERT_TRUE(dialog.has("platform wayland")) << "Qt chose another platform";
    const auto save = dialog.accessibleButton("Save");
    ASSERT_TRUE(save);
    // AT-SPI and the dialog's own report count from the same corner.
    const auto drawn = dialog.waitForLine("button Save ", 0);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(*drawn, "button Save " + std::to_string(save->x) + " " + std::to_string(save->y) + " "
                          + std::to_string(save->width) + " " + std::to_string(save->height));
    const int spotX = save->x + save->width - 15;
    const int spotY = save->y + save->height / 2;
    const bool rests = dialog.waitToRestAt("Save", spotX, spotY, 1, 5000);
    std::string said;
    for (const auto& line : dialog.lines())
        said += line + "\n";
    EXPECT_TRUE(rests) << "last seen on Save: '" << dialog.lastOn("Save") << "', spot " << spotX << ", " << spotY
                       << "\nthe dialog said:\n" << said << s_agent->log();
    EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
}

INSTANTIATE_TEST_SUITE_P(Qt5AndQt6, QtOnGnomeWaylandTest, ::testing::Values("qt5", "qt6"));

} // namespace
} // namespace velmora::gnome::testing
