// The agent itself, as installed, on the private GNOME Wayland desktop: it
// tells which desktop it chose, a real GTK 3 dialog sees the pointer come to
// rest on its default button at the agent's spot, and the agent outlives its
// compositor going away and coming back.

#include "platform/gnome/MutterRemoteDesktopPointer.h"
#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

int mutterCtl(const char* verb)
{
    const char* ctl = std::getenv("VELMORA_TEST_MUTTER_CTL");
    return ctl ? std::system((std::string(ctl) + " " + verb).c_str()) : -1;
}

// A test that fails while mutter is away leaves it running for the tests after it.
class MutterBackAtEnd {
public:
    MutterBackAtEnd() = default;
    MutterBackAtEnd(const MutterBackAtEnd&) = delete;
    MutterBackAtEnd& operator=(const MutterBackAtEnd&) = delete;
    ~MutterBackAtEnd()
    {
        const char* pidFile = std::getenv("VELMORA_TEST_MUTTER_PID_FILE");
        if (pidFile && !fs::exists(pidFile))
            mutterCtl("start");
    }
};

class AgentOnGnomeWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("VELMORA_TEST_MUTTER_CTL"))
            GTEST_FAIL() << "no private GNOME desktop: run through run-gnome-wayland-tests.sh";
        ASSERT_LE(atspi_init(), 1);
        char pattern[] = "/tmp/velmora-gnome-agent.XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    void waitForItsDesktop(const AgentProcess& agent)
    {
        ASSERT_TRUE(pumpUntil([&] { return agent.log().find("Desktop: ") != std::string::npos; }, 10000)) << agent.log();
        EXPECT_NE(agent.log().find(expectedDesktopLine()), std::string::npos) << agent.log();
        // The agent looks at the applications already running before a new one counts.
        pumpFor(500);
    }

    // The dialog sees the pointer come to rest on Save at the agent's spot,
    // 15 px in from its right edge and vertically centred, and never on Cancel.
    void expectPointerRestsOnSave(EnterDialog& dialog, const AgentProcess& agent)
    {
        ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save);
        const int spotX = save->width - 15;
        const int spotY = save->height / 2;
        EXPECT_TRUE(dialog.waitToRestAt("Save", spotX, spotY, 1, 5000))
            << "last seen on Save: '" << dialog.lastOn("Save") << "', spot " << spotX << ", " << spotY << "\n"
            << agent.log();
        EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
    }

    fs::path m_dir;
};

TEST_F(AgentOnGnomeWaylandTest, TheAgentNamesItsDesktopAndPutsThePointerOnTheDialogsDefaultButton)
{
    AgentProcess agent(m_dir / "agent.log");
    waitForItsDesktop(agent);
    EnterDialog dialog;
    expectPointerRestsOnSave(dialog, agent);
}

// Last in this file: it kills the compositor that the dialogs run on, and
// leaves it running again for the tests after it.
TEST_F(AgentOnGnomeWaylandTest, ZTheAgentOutlivesMutterQuietlyAndServesTheDialogsAfterItsReturn)
{
    MutterBackAtEnd mutterBack;
    AgentProcess agent(m_dir / "agent.log");
    waitForItsDesktop(agent);
    size_t linesBefore = 0;
    {
        EnterDialog dialog; // dies with its compositor
        expectPointerRestsOnSave(dialog, agent);
        // Its session has closed by then, as it mostly has when a compositor
        // goes: the agent must notice mutter leaving without one.
        pumpFor(MutterRemoteDesktopPointer::kIdleCloseMs + 500);
        linesBefore = linesOf(agent.log()).size();
        ASSERT_EQ(mutterCtl("kill"), 0);
    }

    // Away long enough for anything that retries to show in the agent's time.
    const auto cpuBefore = agent.cpuTime();
    const auto wallBefore = std::chrono::steady_clock::now();
    pumpFor(2000);
    EXPECT_TRUE(agent.running()) << agent.log();
    const auto outageLines = linesOf(agent.log()).size() - linesBefore;
    ASSERT_EQ(mutterCtl("start"), 0);
    const auto wall = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wallBefore);
    const auto cpu = agent.cpuTime() - cpuBefore;
    std::printf("mutter away %lld ms, agent cpu %lld ms meanwhile\n", static_cast<long long>(wall.count()),
                static_cast<long long>(cpu.count()));
    EXPECT_LT(cpu * 10, wall) << "the agent kept busy while mutter was away";

    EnterDialog dialog;
    expectPointerRestsOnSave(dialog, agent);
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
} // namespace velmora::gnome::testing
