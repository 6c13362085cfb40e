// The agent, as installed, on the private KDE Plasma Wayland desktop (headless
// KWin): it names the desktop, and GTK 3, Qt 5 and Qt 6 dialogs see the
// pointer come to rest on their default button at the agent's spot, 15 px in
// from its right edge and vertically centred, counted in their own window's
// coordinates as they report them. Qt on KWin counts from its surface's
// corner (KWin, not Qt, draws the title bar there).

#include "platform/kde/KWinFakeInput.h"
#include "platform/kde/KWinScript.h"
#include "tests/platform/wayland/WaylandAgentTest.h"

#include <memory>
#include <sstream>

namespace velmora::wayland::testing {
namespace {

using kde::KWinFakeInput;
using kde::KWinScript;

constexpr const char* kKdeDesktopLine = "Desktop: KDE Plasma on Wayland: KWin is on the session bus";

bool authorised() { return std::getenv("VELMORA_TEST_KWIN_AUTHORISE") != nullptr; }

// KWin tells where the pointer is (what the user sees, whoever moved it), and
// moves it as the user would, for this program, which the harness authorises.
const PointerProbe kKWinPointer{
    [] {
        KWinScript script;
        std::string error;
        const auto answer = script.ask("report(workspace.cursorPos.x + ' ' + workspace.cursorPos.y);", error);
        std::optional<ScreenPoint> point(std::in_place);
        std::istringstream words(answer.value_or(""));
        if (!(words >> point->x >> point->y)) {
            ADD_FAILURE() << "KWin did not tell the pointer: " << error;
            point.reset();
        }
        return point;
    },
    [](ScreenPoint point) {
        // Kept: KWin may drop what a client sent just before it hung up.
        static std::unique_ptr<KWinFakeInput> input;
        std::string error;
        if (!input)
            input = KWinFakeInput::connect(error);
        ASSERT_TRUE(input) << error;
        ASSERT_TRUE(input->waitUntilListed(2000));
        ASSERT_TRUE(input->offered()) << "KWin does not let the test move the pointer";
        ASSERT_TRUE(input->moveTo(static_cast<int>(point.x), static_cast<int>(point.y)));
    },
    25}; // each question is a script for KWin to load

class AgentOnKdeWaylandTest : public DialogsOfEveryToolkitTest { };

TEST_P(AgentOnKdeWaylandTest, ThePointerRestsOnTheDefaultButtonAtTheAgentsSpot)
{
    expectTheDefaultButtonSnapped(kKdeDesktopLine);
}

INSTANTIATE_TEST_SUITE_P(Toolkits, AgentOnKdeWaylandTest,
    ::testing::Values(Toolkit{"gtk3", DIALOG_SCRIPT, nullptr},
                      Toolkit{"qt5", QT_DIALOG_SCRIPT, "qt5", "wayland"},
                      Toolkit{"qt6", QT_DIALOG_SCRIPT, "qt6", "wayland"}),
    toolkitName);

TEST(AgentOnKdeWaylandSnapBackTest, AnAnsweredDialogGivesThePointerBackUnlessTheUserMovedIt)
{
    if (!authorised())
        GTEST_SKIP() << "the agent is not authorised here";
    const TemporaryFolder dir;
    // KWin's answers in the log, should it fail.
    const ScopedVariable trace("G_MESSAGES_DEBUG", "velmora-kwin");
    AgentProcess agent(dir / "agent.log");
    ASSERT_TRUE(saidItsDesktop(agent, kKdeDesktopLine));
    expectSnapBackUnlessMoved(agent, kKWinPointer);
}

// Last: KWin goes away under the agent and comes back; the agent keeps
// running and snaps the next dialog on the new KWin.
TEST(AgentOnKdeWaylandFaultsTest, ZTheAgentSnapsAgainOnceKWinIsBack)
{
    if (!authorised())
        GTEST_SKIP() << "the agent is not authorised here";
    const TemporaryFolder dir;
    AgentProcess agent(dir / "agent.log");
    ASSERT_TRUE(saidItsDesktop(agent, kKdeDesktopLine));
    ASSERT_EQ(compositorCtl("restart"), 0);
    pumpFor(500);
    EXPECT_TRUE(agent.running()) << agent.log();
    EnterDialog dialog("After KWin's return");
    expectRestsOnSave(dialog, agent);
    EXPECT_TRUE(agent.running());
}

// Run with KWin not told to trust the agent (ctest kde-wayland-unauthorised).
TEST(AgentOnKdeWaylandFaultsTest, WithoutKWinsConsentTheAgentSaysSoOnceAndLeavesThePointer)
{
    if (authorised())
        GTEST_SKIP() << "the agent is authorised here";
    const TemporaryFolder dir;
    AgentProcess agent(dir / "agent.log");
    ASSERT_TRUE(saidItsDesktop(agent, kKdeDesktopLine));
    for (const char* title : {"Refused 1", "Refused 2"}) {
        EnterDialog dialog(title);
        ASSERT_TRUE(dialog.waitForActive());
        pumpFor(700);
        EXPECT_EQ(dialog.lastOn("Save"), "") << "the pointer reached Save without KWin's consent";
    }
    EXPECT_TRUE(agent.running());
    int said = 0;
    for (const auto& line : linesOf(agent.log()))
        said += line.find("KWin does not let Velmora move the pointer") != std::string::npos;
    EXPECT_EQ(said, 1) << agent.log();
}

} // namespace
} // namespace velmora::wayland::testing
