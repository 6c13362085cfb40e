// Dialogs of every toolkit on the private GNOME Wayland desktop, answered by
// the agent as installed. Mutter counts window-relative moves from the
// corner of a window's surface; GTK 4 counts its positions from inside its
// shadow (libadwaita's four times plain GTK's), Qt on Wayland from inside
// its own title bar and border. Each dialog reports where the pointer came
// to rest on its own button, in its window's coordinates.

#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

struct Toolkit {
    const char* name;
    const char* script;
    const char* kind;
    // Qt: the platform it must run on (Debian's Qt takes Wayland when its
    // plugin is installed, X11 when XWayland is about and it is asked to).
    const char* qtPlatform;
};

class DialogsOnGnomeWaylandTest : public ::testing::TestWithParam<Toolkit> {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_LE(atspi_init(), 1);
        char pattern[] = "/tmp/velmora-gnome-dialogs.XXXXXX";
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

TEST_P(DialogsOnGnomeWaylandTest, ThePointerRestsOnTheDefaultButtonAtTheAgentsSpot)
{
    if (!std::getenv("VELMORA_TEST_MUTTER_CTL"))
        GTEST_FAIL() << "no private GNOME desktop: run through run-gnome-wayland-tests.sh";
    ASSERT_NE(s_agent->log().find(expectedDesktopLine()), std::string::npos) << s_agent->log();
    const Toolkit& toolkit = GetParam();

    std::optional<ScopedVariable> platform;
    if (toolkit.qtPlatform)
        platform.emplace("QT_QPA_PLATFORM", toolkit.qtPlatform);
    EnterDialog dialog(std::string("Save changes? (") + toolkit.name + ")", toolkit.script, toolkit.kind);
    ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
    if (toolkit.qtPlatform) {
        ASSERT_TRUE(dialog.has(std::string("platform ") + toolkit.qtPlatform)) << "Qt chose another platform";
    }
    // The spot as the agent reads the button, and as the X11 tests take it.
    const auto save = dialog.accessibleButton("Save");
    ASSERT_TRUE(save);
    if (toolkit.qtPlatform) {
        // Qt tells AT-SPI the button it draws, counted from the same corner
        // (GTK 4 tells its content box, without the padding).
        const auto drawn = dialog.waitForLine("button Save ", 0);
        ASSERT_TRUE(drawn);
        EXPECT_EQ(*drawn, "button Save " + std::to_string(save->x) + " " + std::to_string(save->y) + " "
                              + std::to_string(save->width) + " " + std::to_string(save->height));
    }
    dialog.expectRestsAt("Save", save->x + save->width - 15, save->y + save->height / 2, s_agent->log());
    EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
}

INSTANTIATE_TEST_SUITE_P(Toolkits, DialogsOnGnomeWaylandTest,
    ::testing::Values(Toolkit{"gtk4", GTK4_DIALOG_SCRIPT, "gtk", nullptr},
                      Toolkit{"libadwaita", GTK4_DIALOG_SCRIPT, "adwaita", nullptr},
                      Toolkit{"qt5", QT_DIALOG_SCRIPT, "qt5", "wayland"},
                      Toolkit{"qt6", QT_DIALOG_SCRIPT, "qt6", "wayland"}),
    [](const ::testing::TestParamInfo<Toolkit>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::gnome::testing
