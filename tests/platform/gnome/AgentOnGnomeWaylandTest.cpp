// The agent itself, as installed, on the private GNOME Wayland desktop: it
// tells which desktop it chose, a real GTK 3 dialog sees the pointer come to
// rest on its default button at the agent's spot, and the agent outlives its
// compositor going away and coming back.

#include "platform/gnome/MutterRemoteDesktopPointer.h"
#include "tests/platform/gnome/GnomeSession.h"
#include "tests/platform/wayland/WaylandAgentTest.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace velmora::wayland::testing {
namespace {

// A test that fails while mutter is away leaves it running for the tests after it.
struct MutterBackAtEnd {
    ~MutterBackAtEnd()
    {
        const char* pidFile = std::getenv("VELMORA_TEST_MUTTER_PID_FILE");
        if (pidFile && !fs::exists(pidFile))
            compositorCtl("start");
    }
};

class AgentOnGnomeWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!compositorControl())
            GTEST_FAIL() << kNoPrivateDesktop;
        ASSERT_LE(atspi_init(), 1);
    }

    TemporaryFolder m_dir;
};

TEST_F(AgentOnGnomeWaylandTest, TheAgentNamesItsDesktopAndPutsThePointerOnTheDialogsDefaultButton)
{
    AgentProcess agent(m_dir / "agent.log");
    ASSERT_TRUE(saidItsDesktop(agent, gnomeDesktopLine()));
    EnterDialog dialog;
    expectRestsOnSave(dialog, agent);
}

// Last in this file: it kills the compositor that the dialogs run on, and
// leaves it running again for the tests after it.
TEST_F(AgentOnGnomeWaylandTest, ZTheAgentOutlivesMutterQuietlyAndServesTheDialogsAfterItsReturn)
{
    MutterBackAtEnd mutterBack;
    AgentProcess agent(m_dir / "agent.log");
    ASSERT_TRUE(saidItsDesktop(agent, gnomeDesktopLine()));
    size_t linesBefore = 0;
    {
        EnterDialog dialog; // dies with its compositor
        expectRestsOnSave(dialog, agent);
        // Its session has closed by then, as it mostly has when a compositor
        // goes: the agent must notice mutter leaving without one.
        pumpFor(gnome::MutterRemoteDesktopPointer::kIdleCloseMs + 500);
        linesBefore = linesOf(agent.log()).size();
        ASSERT_EQ(compositorCtl("kill"), 0);
    }

    // Away long enough for anything that retries to show in the agent's time.
    const auto cpuBefore = agent.cpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    pumpFor(2000);
    EXPECT_TRUE(agent.running()) << agent.log();
    const auto outageLines = linesOf(agent.log()).size() - linesBefore;
    ASSERT_EQ(compositorCtl("start"), 0);
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wallBefore);
    const auto cpu = agent.cpuTime() - cpuBefore;
    std::printf("mutter away %lld ms, agent cpu %lld ms meanwhile\n", static_cast<long long>(wall.count()),
                static_cast<long long>(cpu.count()));
    EXPECT_LT(cpu * 10, wall) << "the agent kept busy while mutter was away";

    EnterDialog dialog;
    expectRestsOnSave(dialog, agent);
    EXPECT_TRUE(agent.running());

    const auto lines = linesOf(agent.log());
    std::vector<std::string> added;
    int xwaylandGone = 0;
    for (auto line = lines.begin() + static_cast<std::ptrdiff_t>(linesBefore); line != lines.end(); ++line) {
        std::printf("logged: %s\n", line->c_str());
        // XWayland goes with its compositor: said once, apart from mutter's leaving.
        if (line->find("XWayland's display") != std::string::npos)
            ++xwaylandGone;
        else
            added.push_back(*line);
    }
    EXPECT_EQ(xwaylandGone, std::getenv("DISPLAY") ? 1 : 0);
    EXPECT_GE(outageLines, 1u) << "nothing logged while mutter was away";
    ASSERT_GE(added.size(), 1u);
    EXPECT_LE(added.size(), 2u) << agent.log();
    // Under GNOME Shell the extension goes with it, and its return is said too.
    EXPECT_NE(added.front().find(underGnomeShell() ? "extension left the session bus" : "mutter left the session bus"),
              std::string::npos) << added.front();
}

} // namespace
} // namespace velmora::wayland::testing
