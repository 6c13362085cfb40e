// The agent itself, as installed, on the private GNOME Wayland desktop: it
// tells which desktop it chose, and a real GTK 3 dialog sees the pointer
// come to rest on its default button at the agent's spot.

#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

class AgentProcess {
public:
    explicit AgentProcess(const fs::path& log) : m_log(log)
    {
        m_pid = fork();
        if (m_pid == 0) {
            std::FILE* out = std::freopen(log.c_str(), "w", stderr);
            if (!out)
                _exit(127);
            execl(VELMORA_AGENT_PATH, VELMORA_AGENT_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;
    ~AgentProcess()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 300 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            usleep(10000);
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }

    std::string log() const
    {
        std::ifstream in(m_log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    fs::path m_log;
    pid_t m_pid{-1};
};

TEST(AgentOnGnomeWaylandTest, TheAgentNamesItsDesktopAndPutsThePointerOnTheDialogsDefaultButton)
{
    if (!std::getenv("VELMORA_TEST_MUTTER_CTL"))
        GTEST_FAIL() << "no private GNOME desktop: run through run-gnome-wayland-tests.sh";
    ASSERT_LE(atspi_init(), 1);
    char pattern[] = "/tmp/velmora-gnome-agent.XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    {
        AgentProcess agent(dir / "agent.log");
        ASSERT_TRUE(pumpUntil([&] { return agent.log().find("Desktop: ") != std::string::npos; }, 10000)) << agent.log();
        EXPECT_NE(agent.log().find("Desktop: GNOME on Wayland: mutter's remote desktop interface is on the session bus"),
            std::string::npos) << agent.log();
        // The agent looks at the applications already running before a new one counts.
        pumpFor(500);

        EnterDialog dialog;
        ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save);
        const int spotX = save->width - 15;
        const int spotY = save->height / 2;
        auto lastOnSave = [&dialog] {
            std::string last;
            for (const auto& line : dialog.lines())
                if (line.rfind("enter Save ", 0) == 0 || line.rfind("motion Save ", 0) == 0)
                    last = line;
            return last;
        };
        const bool rests = pumpUntil([&] {
            const auto at = enteredAt(lastOnSave());
            return at && at->first == spotX && std::abs(at->second - spotY) <= 1;
        }, 5000);
        EXPECT_TRUE(rests) << "last seen on Save: '" << lastOnSave() << "', spot " << spotX << ", " << spotY << "\n"
                           << agent.log();
        EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
    }
    fs::remove_all(dir);
}

} // namespace
} // namespace velmora::gnome::testing
