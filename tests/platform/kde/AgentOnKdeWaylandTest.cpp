// The agent, as installed, on the private KDE Plasma Wayland desktop (headless
// KWin): it names the desktop, and GTK 3, Qt 5 and Qt 6 dialogs see the
// pointer come to rest on their default button at the agent's spot, 15 px in
// from its right edge and vertically centred, counted in their own window's
// coordinates as they report them. Qt on KWin counts from its surface's
// corner (KWin, not Qt, draws the title bar there).

#include "platform/kde/KWinFakeInput.h"
#include "platform/kde/KWinScript.h"
#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::kde::testing {
namespace {

namespace fs = std::filesystem;
using gnome::testing::AgentProcess;
using gnome::testing::EnterDialog;
using gnome::testing::linesOf;
using gnome::testing::pumpFor;
using gnome::testing::pumpUntil;
using gnome::testing::ScopedVariable;

struct TemporaryFolder {
    TemporaryFolder() : path(make()) { }
    ~TemporaryFolder() { fs::remove_all(path); }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    static fs::path make()
    {
        char pattern[] = "/tmp/velmora-kde.XXXXXX";
        return mkdtemp(pattern);
    }
    const fs::path path;
};

// The agent named KDE as its desktop and has looked at the applications
// already running, so that a new one counts.
bool waitForItsDesktop(const AgentProcess& agent)
{
    if (!pumpUntil([&] { return agent.log().find("Desktop: ") != std::string::npos; }, 10000))
        return false;
    pumpFor(500);
    return agent.log().find("Desktop: KDE Plasma on Wayland: KWin is on the session bus") != std::string::npos;
}

struct Toolkit {
    const char* name;
    const char* script;
    const char* kind;
};

class AgentOnKdeWaylandTest : public ::testing::TestWithParam<Toolkit> {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_LE(atspi_init(), 1);
        s_dir = new TemporaryFolder;
        s_agent = new AgentProcess(s_dir->path / "agent.log");
        s_named = waitForItsDesktop(*s_agent);
    }
    static void TearDownTestSuite()
    {
        delete s_agent;
        s_agent = nullptr;
        delete s_dir;
        s_dir = nullptr;
    }

    static inline TemporaryFolder* s_dir{nullptr};
    static inline AgentProcess* s_agent{nullptr};
    static inline bool s_named{false};
};

TEST_P(AgentOnKdeWaylandTest, ThePointerRestsOnTheDefaultButtonAtTheAgentsSpot)
{
    if (!std::getenv("VELMORA_TEST_KWIN_CTL"))
        GTEST_FAIL() << "no private KDE desktop: run through run-kde-wayland-tests.sh";
    ASSERT_TRUE(s_named) << s_agent->log();
    EXPECT_EQ(s_agent->log().find("does not let Velmora move the pointer"), std::string::npos) << s_agent->log();
    const Toolkit& toolkit = GetParam();
    EnterDialog dialog(std::string("Save changes? (") + toolkit.name + ")", toolkit.script, toolkit.kind);
    ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
    const auto save = dialog.accessibleButton("Save");
    ASSERT_TRUE(save);
    if (const auto drawn = dialog.waitForLine("button Save ", 0); drawn && toolkit.kind) {
        // Qt tells AT-SPI the button it draws, from the same corner.
        EXPECT_EQ(*drawn, "button Save " + std::to_string(save->x) + " " + std::to_string(save->y) + " "
                              + std::to_string(save->width) + " " + std::to_string(save->height));
    }
    // GTK 3's dialog reports the pointer within the button, Qt's within the window.
    const int originX = toolkit.kind ? save->x : 0, originY = toolkit.kind ? save->y : 0;
    dialog.expectRestsAt("Save", originX + save->width - 15, originY + save->height / 2, s_agent->log());
    EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
}

int kwinCtl(const char* verb)
{
    const char* ctl = std::getenv("VELMORA_TEST_KWIN_CTL");
    return ctl ? std::system((std::string(ctl) + " " + verb).c_str()) : -1;
}

struct Point {
    int x{0};
    int y{0};
};

// Where KWin says the pointer is: what the user sees, whoever moved it.
std::optional<Point> pointerNow()
{
    KWinScript script;
    std::string error;
    const auto answer = script.ask("report(workspace.cursorPos.x + ' ' + workspace.cursorPos.y);", error);
    Point point;
    std::istringstream words(answer.value_or(""));
    if (!(words >> point.x >> point.y)) {
        ADD_FAILURE() << "KWin did not tell the pointer: " << error;
        return std::nullopt;
    }
    return point;
}

// As the user would, through KWin (which the harness lets this program do).
void movePointerTo(Point point)
{
    // Kept: KWin may drop what a client sent just before it hung up.
    static std::unique_ptr<KWinFakeInput> input;
    std::string error;
    if (!input)
        input = KWinFakeInput::connect(error);
    ASSERT_TRUE(input) << error;
    ASSERT_TRUE(input->waitUntilListed(2000));
    ASSERT_TRUE(input->offered()) << "KWin does not let the test move the pointer";
    ASSERT_TRUE(input->moveTo(point.x, point.y));
}

bool pointerRestsAt(Point point, int timeoutMs)
{
    return pumpUntil([&] {
        const auto now = pointerNow();
        if (now && std::abs(now->x - point.x) <= 1 && std::abs(now->y - point.y) <= 1)
            return true;
        pumpFor(25); // each question is a script for KWin to load
        return false;
    }, timeoutMs);
}

void setSnapBack(bool on)
{
    const std::string command = std::string(VELMORA_COMMAND_PATH) + " set QK.velmora.snapbackCursor "
                                + (on ? "true" : "false") + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// KWin tells where the pointer is, so an answered dialog gives the pointer
// back, unless the user took it elsewhere first.
TEST(AgentOnKdeWaylandSnapBackTest, AnAnsweredDialogGivesThePointerBackUnlessTheUserMovedIt)
{
    if (!std::getenv("VELMORA_TEST_KWIN_AUTHORISE"))
        GTEST_SKIP() << "the agent is not authorised here";
    setSnapBack(true);
    const TemporaryFolder dir;
    // KWin's answers in the log, should it fail.
    const ScopedVariable trace("G_MESSAGES_DEBUG", "velmora-kwin");
    AgentProcess agent(dir.path / "agent.log");
    ASSERT_TRUE(waitForItsDesktop(agent)) << agent.log();

    // What the focus goes back to once a dialog is answered, as in an application.
    EnterDialog behind("Behind", DIALOG_SCRIPT, "window");
    ASSERT_TRUE(behind.waitForActive());
    const Point parked{40, 700};
    movePointerTo(parked);
    ASSERT_TRUE(pointerRestsAt(parked, 2000));
    const auto restsOnSave = [&](EnterDialog& dialog) {
        ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save);
        dialog.expectRestsAt("Save", save->width - 15, save->height / 2, agent.log());
    };
    std::optional<EnterDialog> dialog(std::in_place, "Answered");
    restsOnSave(*dialog);
    dialog.reset(); // answered: it goes
    EXPECT_TRUE(pointerRestsAt(parked, 5000)) << "the pointer stayed at " << pointerNow()->x << ", "
                                              << pointerNow()->y << "\n" << agent.log();

    dialog.emplace("Moved away");
    restsOnSave(*dialog);
    const Point elsewhere{900, 100};
    movePointerTo(elsewhere);
    pumpFor(300);
    dialog.reset();
    pumpFor(1500);
    EXPECT_TRUE(pointerRestsAt(elsewhere, 0)) << agent.log();
    EXPECT_TRUE(agent.running());
    setSnapBack(false);
}

// Last: KWin goes away under the agent and comes back; the agent keeps
// running and snaps the next dialog on the new KWin.
TEST(AgentOnKdeWaylandFaultsTest, ZTheAgentSnapsAgainOnceKWinIsBack)
{
    if (!std::getenv("VELMORA_TEST_KWIN_AUTHORISE"))
        GTEST_SKIP() << "the agent is not authorised here";
    const TemporaryFolder dir;
    {
        AgentProcess agent(dir.path / "agent.log");
        ASSERT_TRUE(waitForItsDesktop(agent)) << agent.log();
        ASSERT_EQ(kwinCtl("restart"), 0);
        pumpFor(500);
        EXPECT_TRUE(agent.running()) << agent.log();
        EnterDialog dialog("After KWin's return");
        ASSERT_TRUE(dialog.waitForActive());
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save);
        dialog.expectRestsAt("Save", save->width - 15, save->height / 2, agent.log());
        EXPECT_TRUE(agent.running());
    }
}

// Run with KWin not told to trust the agent (ctest kde-wayland-unauthorised).
TEST(AgentOnKdeWaylandFaultsTest, WithoutKWinsConsentTheAgentSaysSoOnceAndLeavesThePointer)
{
    if (std::getenv("VELMORA_TEST_KWIN_AUTHORISE"))
        GTEST_SKIP() << "the agent is authorised here";
    const TemporaryFolder dir;
    {
        AgentProcess agent(dir.path / "agent.log");
        ASSERT_TRUE(waitForItsDesktop(agent)) << agent.log();
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
}

INSTANTIATE_TEST_SUITE_P(Toolkits, AgentOnKdeWaylandTest,
    ::testing::Values(Toolkit{"gtk3", DIALOG_SCRIPT, nullptr},
                      Toolkit{"qt5", QT_DIALOG_SCRIPT, "qt5"},
                      Toolkit{"qt6", QT_DIALOG_SCRIPT, "qt6"}),
    [](const ::testing::TestParamInfo<Toolkit>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::kde::testing
