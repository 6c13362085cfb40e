// GTK 4 dialogs on the private GNOME Wayland desktop, answered by the agent
// as installed: GTK 4 counts its positions from the window inside its
// shadow, mutter from the surface's corner, and libadwaita's shadow is four
// times plain GTK's. Each dialog reports where the pointer came to rest on
// its own button, in its window's coordinates.

#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

class Gtk4OnGnomeWaylandTest : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_LE(atspi_init(), 1);
        char pattern[] = "/tmp/velmora-gnome-gtk4.XXXXXX";
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

TEST_P(Gtk4OnGnomeWaylandTest, ThePointerRestsOnTheDefaultButtonAtTheAgentsSpot)
{
    if (!std::getenv("VELMORA_TEST_MUTTER_CTL"))
        GTEST_FAIL() << "no private GNOME desktop: run through run-gnome-wayland-tests.sh";
    ASSERT_NE(s_agent->log().find("Desktop: GNOME on Wayland"), std::string::npos) << s_agent->log();

    EnterDialog dialog(std::string("Save changes? (") + GetParam() + ")", GTK4_DIALOG_SCRIPT, GetParam());
    ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
    // The spot as the agent reads the button, and as the X11 tests take it.
    const auto save = dialog.accessibleButton("Save");
    ASSERT_TRUE(save);
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

INSTANTIATE_TEST_SUITE_P(PlainAndLibadwaita, Gtk4OnGnomeWaylandTest, ::testing::Values("gtk", "adwaita"));

} // namespace
} // namespace velmora::gnome::testing
