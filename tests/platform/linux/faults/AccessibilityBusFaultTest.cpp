// The built programs while the accessibility bus misbehaves: its registry
// frozen, the whole bus killed and started again, or not there yet when the
// agent starts. A binary of its own: libatspi in a process that saw the bus
// go cannot use the new one, so the in-process desktop tests must never see
// it restart. Nothing here starts libatspi; the bus is driven through
// accessibility-bus.sh, and every test leaves it running.

#include "platform/linux/DesktopSession.h"
#include "platform/linux/InstalledPrograms.h"
#include "platform/linux/StartedAgent.h"
#include "platform/linux/XTestPointer.h"

#include <gtest/gtest.h>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

Outcome busControl(const std::string& verb)
{
    return runToEnd({DESKTOP_TESTS_DIR "/accessibility-bus.sh", verb}, {}, 30);
}

bool busIsUp()
{
    return fs::exists(fs::path(g_getenv("VELMORA_TEST_ATSPI_STATE")) / "launcher.pid");
}

class AccessibilityBusFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_getenv("VELMORA_TEST_ATSPI_STATE"))
            GTEST_SKIP() << "run through run-desktop-tests.sh";
        m_display = XOpenDisplay(nullptr);
        ASSERT_TRUE(m_display);
        fs::create_directories(m_folder / "config");
    }
    void TearDown() override
    {
        // Whatever a test did to the bus, the next one finds it running.
        if (m_registryStopped)
            kill(m_registryStopped, SIGCONT);
        if (!busIsUp())
            busControl("start");
        if (m_display)
            XCloseDisplay(m_display);
    }

    Outcome velmora(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> argv{VELMORA_COMMAND_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return runToEnd(argv, {{"XDG_CONFIG_HOME", (m_folder / "config").string()}}, 20);
    }

    // The agent, as the session would start it.
    StartedAgent& startAgent()
    {
        m_agent = std::make_unique<StartedAgent>(std::vector<std::string>{}, std::map<std::string, std::string>{{"XDG_CONFIG_HOME", (m_folder / "config").string()}});
        return *m_agent;
    }
    std::string agentLog() const { return m_agent->said() + m_agent->printed(); }
    bool agentLogs(const std::string& text, double seconds)
    {
        return pumpUntil([&] { return agentLog().find(text) != std::string::npos; }, seconds);
    }
    bool agentAnswers(double seconds)
    {
        return pumpUntil([&] { return velmora({"status"}).out == "running\n"; }, seconds);
    }

    // Whether the agent moves the pointer onto a new question's default button.
    ::testing::AssertionResult snapsANewDialog(const std::string& title)
    {
        return zenitySnapsTo(m_display, {"zenity", "--question", "--title=" + title, "--text=Snap here?"}, "Yes");
    }

    Display* m_display{nullptr}; // owned
    TemporaryFolder m_folder;
    std::unique_ptr<StartedAgent> m_agent;
    pid_t m_registryStopped{0};
};

TEST_F(AccessibilityBusFaultTest, TheCommandAnswersInTimeWhileTheRegistryIsFrozen)
{
    auto registry = busControl("registry-pid");
    ASSERT_EQ(registry.exitCode, 0);
    m_registryStopped = std::stoi(registry.out);
    ASSERT_EQ(kill(m_registryStopped, SIGSTOP), 0);

    // No agent runs: "not running" after the 2 s wait for an answer (plus
    // the start of a program in a sanitizer build on a loaded machine).
    auto status = velmora({"status"});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_EQ(status.out, "not running\n");
    EXPECT_LT(status.seconds, 5.0);
    // A setting needs nothing of the bus at all.
    auto get = velmora({"get", "playsSoundOnMove"});
    EXPECT_EQ(get.exitCode, 0);
    EXPECT_EQ(get.out, "false\n");
    EXPECT_LT(get.seconds, 3.0);
    // Stored, and the agent (none here) told to read it again.
    auto set = velmora({"set", "playsSoundOnMove", "true"});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_LT(set.seconds, 3.0);

    kill(m_registryStopped, SIGCONT);
    m_registryStopped = 0;
}

TEST_F(AccessibilityBusFaultTest, TheAgentSnapsAgainOnceTheBusHasRestarted)
{
    auto& agent = startAgent();
    ASSERT_TRUE(agentAnswers(15)) << agentLog();
    ASSERT_TRUE(snapsANewDialog("Before"));

    ASSERT_EQ(busControl("stop").exitCode, 0);
    EXPECT_TRUE(agentLogs("accessibility bus has gone", 5)) << agentLog();
    // Waiting costs next to nothing: no loop spins on the dead connection.
    const double before = cpuSeconds(agent.pid());
    pumpFor(3);
    EXPECT_LT(cpuSeconds(agent.pid()) - before, 0.3);
    EXPECT_TRUE(agent.isRunning());

    ASSERT_EQ(busControl("start").exitCode, 0);
    EXPECT_TRUE(agentLogs("accessibility bus is back", 10)) << agentLog();
    // The same process (the pane and the session know it by its pid), on the new bus.
    EXPECT_TRUE(agent.isRunning());
    ASSERT_TRUE(agentAnswers(15)) << agentLog();
    EXPECT_TRUE(snapsANewDialog("After"));
    // One line each way, not one per attempt.
    const std::string log = agentLog();
    EXPECT_EQ(log.find("accessibility bus has gone"), log.rfind("accessibility bus has gone"));
}

TEST_F(AccessibilityBusFaultTest, AnAgentStartedBeforeTheBusWaitsForItThenSnaps)
{
    ASSERT_EQ(busControl("stop").exitCode, 0);
    auto& agent = startAgent();
    EXPECT_TRUE(agentLogs("waiting for it", 10)) << agentLog();
    EXPECT_TRUE(agent.isRunning());
    EXPECT_EQ(agentLog().find("demo"), std::string::npos) << agentLog();

    ASSERT_EQ(busControl("start").exitCode, 0);
    EXPECT_TRUE(agentLogs("accessibility bus is up", 10)) << agentLog();
    ASSERT_TRUE(agentAnswers(15)) << agentLog();
    EXPECT_TRUE(snapsANewDialog("Waited"));
}

} // namespace
} // namespace velmora::linux_desktop::testing
