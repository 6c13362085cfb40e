// The installed programs on the real desktop: the `velmora` command and the
// agent it starts, each its own process, with the settings, the autostart
// entries and the session bus of a private XDG folder, and real zenity
// dialogs whose expected pointer spots come from AT-SPI (button-extents.py).

#include "platform/linux/DesktopSession.h"
#include "platform/linux/XTestPointer.h"
#include "platform/linux/TestApplications.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode{-1};
    std::string out;
    std::string err;
    double seconds{0};
};

std::string contentsOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class VelmoraCommandEndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/velmora-command-e2e.XXXXXX";
        s_config = mkdtemp(pattern);
    }
    static void TearDownTestSuite()
    {
        // An agent a failed test left behind goes with the suite.
        for (pid_t pid : agentPids())
            kill(pid, SIGKILL);
        fs::remove_all(s_config);
    }

    void SetUp() override
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            GTEST_FAIL() << "no X display: run through run-desktop-tests.sh";
    }
    void TearDown() override
    {
        if (!agentPids().empty())
            velmora({"stop"});
        if (m_display)
            XCloseDisplay(m_display);
    }

    // Runs the built command with the suite's settings folder; `environment`
    // sets (or, with an empty value, removes) further variables.
    static Outcome velmora(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {})
    {
        gchar** env = g_get_environ();
        env = g_environ_setenv(env, "XDG_CONFIG_HOME", s_config.c_str(), TRUE);
        for (const auto& [name, value] : environment)
            env = value.empty() ? g_environ_unsetenv(env, name.c_str()) : g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
        std::vector<gchar*> argv{const_cast<gchar*>(VELMORA_COMMAND_PATH)};
        for (const auto& argument : arguments)
            argv.push_back(const_cast<gchar*>(argument.c_str()));
        argv.push_back(nullptr);

        Outcome outcome;
        gchar* out = nullptr;
        gchar* err = nullptr;
        int status = 0;
        const gint64 start = g_get_monotonic_time();
        GErrorPtr error;
        const bool ran = g_spawn_sync(nullptr, argv.data(), env, G_SPAWN_DEFAULT, nullptr, nullptr, &out, &err, &status, error.out());
        outcome.seconds = static_cast<double>(g_get_monotonic_time() - start) / G_USEC_PER_SEC;
        g_strfreev(env);
        outcome.out = out ? out : "";
        outcome.err = err ? err : "";
        g_free(out);
        g_free(err);
        if (ran && WIFEXITED(status))
            outcome.exitCode = WEXITSTATUS(status);
        return outcome;
    }

    // The agents started with this suite's settings folder.
    static std::vector<pid_t> agentPids()
    {
        std::vector<pid_t> pids;
        const std::string marker = "XDG_CONFIG_HOME=" + s_config.string();
        std::error_code error;
        const fs::path agent = fs::canonical(VELMORA_AGENT_PATH, error);
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::error_code gone;
            if (fs::read_symlink(entry.path() / "exe", gone) != agent)
                continue;
            const std::string environ = contentsOf(entry.path() / "environ");
            std::istringstream variables(environ);
            for (std::string variable; std::getline(variables, variable, '\0');) {
                if (variable == marker)
                    pids.push_back(std::stoi(name));
            }
        }
        return pids;
    }

    static fs::path autostartEntry() { return s_config / "autostart" / "VelmoraBG.desktop"; }

    // The agent as a child of the test, with the suite's settings folder; its
    // standard error is kept for what it says.
    struct Agent {
        pid_t pid{0};
        int stderrFd{-1};
        // Waits for it to end; its exit code, or -1 (it ran on, and was killed).
        int waitForExit(double seconds)
        {
            int status = 0;
            const bool ended = pumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds);
            if (!ended) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
            pid = 0;
            return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::string said()
        {
            std::string text;
            char buffer[4096];
            for (ssize_t n; (n = read(stderrFd, buffer, sizeof buffer)) > 0;)
                text.append(buffer, static_cast<size_t>(n));
            return text;
        }
        ~Agent()
        {
            if (pid > 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
            if (stderrFd >= 0)
                close(stderrFd);
        }
    };
    static std::unique_ptr<Agent> spawnAgent()
    {
        gchar** env = g_environ_setenv(g_get_environ(), "XDG_CONFIG_HOME", s_config.c_str(), TRUE);
        gchar* argv[] = {const_cast<gchar*>(VELMORA_AGENT_PATH), nullptr};
        auto agent = std::make_unique<Agent>();
        GErrorPtr error;
        const bool spawned = g_spawn_async_with_pipes(nullptr, argv, env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &agent->pid, nullptr,
            nullptr, &agent->stderrFd, error.out());
        g_strfreev(env);
        EXPECT_TRUE(spawned) << error.message();
        return agent;
    }

    // The agent of the suite answers through its name and still snaps.
    void expectAgentSnaps(const std::string& title)
    {
        restPointer({20, 20});
        Program question({"zenity", "--question", "--title=" + title, "--text=Snap?"});
        auto yes = expectedSpot(question.pid(), "Yes");
        ASSERT_TRUE(yes) << title;
        EXPECT_TRUE(pointerReaches(*yes)) << title;
    }

    // Every settings file of the suite with its contents.
    static std::map<std::string, std::string> storedFiles()
    {
        std::map<std::string, std::string> files;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(s_config, error)) {
            if (entry.is_regular_file())
                files[entry.path().string()] = contentsOf(entry.path());
        }
        return files;
    }

    void restPointer(Spot spot) { restPointerAt(m_display, spot); }
    Spot pointer() { return pointerOf(m_display); }

    std::optional<Spot> expectedSpot(pid_t pid, const std::string& label) { return expectedButtonSpot(pid, label); }

    ::testing::AssertionResult pointerReaches(Spot spot, double seconds = 10)
    {
        return pointerReachesSpot([this] { return pointer(); }, spot, seconds);
    }

    static fs::path s_config;
    Display* m_display{nullptr}; // owned
};

fs::path VelmoraCommandEndToEndTest::s_config;

TEST_F(VelmoraCommandEndToEndTest, StatusWithoutAnAgentAnswersNotRunningWithoutWaitingAndNeedsNoDisplay)
{
    auto status = velmora({"status"}, {{"DISPLAY", ""}});
    EXPECT_EQ(status.exitCode, 1) << status.err;
    EXPECT_EQ(status.out, "not running\n");
    // The bus knows nobody holds the name: no 2 s wait for an answer that
    // cannot come (the rest is a program's start, slow under a sanitizer).
    EXPECT_LT(status.seconds, 1.5);
}

TEST_F(VelmoraCommandEndToEndTest, WithoutASessionBusTheCommandFailsClearlyButHelpStillWorks)
{
    const std::map<std::string, std::string> noBus{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-bus"}, {"DISPLAY", ""}};
    const auto before = storedFiles();
    auto status = velmora({"status"}, noBus);
    EXPECT_EQ(status.exitCode, 5);
    EXPECT_EQ(status.out, "");
    EXPECT_NE(status.err.find("no desktop session"), std::string::npos) << status.err;
    auto set = velmora({"set", "playsSoundOnMove", "true"}, noBus);
    EXPECT_EQ(set.exitCode, 5);
    EXPECT_EQ(storedFiles(), before);

    auto window = velmora({}, noBus);
    EXPECT_EQ(window.exitCode, 5);
    EXPECT_NE(window.err.find("no display to open the settings window on"), std::string::npos) << window.err;

    auto help = velmora({"--help"}, noBus);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
    EXPECT_NE(help.out.find("Without a command, opens the settings window"), std::string::npos) << help.out;
}

TEST_F(VelmoraCommandEndToEndTest, BadInputIsRefusedWithNothingWritten)
{
    velmora({"get", "playsSoundOnMove"}); // the settings file exists from here on
    const auto before = storedFiles();
    ASSERT_FALSE(before.empty());

    auto wrongType = velmora({"set", "snapToAlternateButtonInstead", "maybe"});
    EXPECT_EQ(wrongType.exitCode, 2);
    EXPECT_NE(wrongType.err.find("\"snapToAlternateButtonInstead\" expects"), std::string::npos) << wrongType.err;
    auto unknownKey = velmora({"set", "snapToEverything", "true"});
    EXPECT_EQ(unknownKey.exitCode, 2);
    EXPECT_NE(unknownKey.err.find("\"snapToEverything\" is not a key"), std::string::npos) << unknownKey.err;
    auto missingValue = velmora({"set", "playsSoundOnMove"});
    EXPECT_EQ(missingValue.exitCode, 2);
    auto noSuchApp = velmora({"ignore", "add", "No Such Application Anywhere"});
    EXPECT_EQ(noSuchApp.exitCode, 3);
    auto builtIn = velmora({"ignore", "remove", "moneydance"});
    EXPECT_EQ(builtIn.exitCode, 3);
    EXPECT_NE(builtIn.err.find("built into the list"), std::string::npos) << builtIn.err;

    EXPECT_EQ(storedFiles(), before);
}

TEST_F(VelmoraCommandEndToEndTest, TheRunSwitchSettingsAndIgnoredListReachTheRealAgent)
{
    // Started, answering, and registered to start at login.
    auto start = velmora({"start"});
    ASSERT_EQ(start.exitCode, 0) << start.err;
    EXPECT_EQ(start.out, "running\n");
    EXPECT_EQ(agentPids().size(), 1u);
    auto status = velmora({"status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(status.out, "running\n");
    ASSERT_TRUE(fs::exists(autostartEntry()));
    EXPECT_NE(contentsOf(autostartEntry()).find(fs::canonical(VELMORA_AGENT_PATH).string()), std::string::npos);

    // The alternate button from the next dialog on.
    auto set = velmora({"set", "snapToAlternateButtonInstead", "true"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(velmora({"get", "snapToAlternateButtonInstead"}).out, "true\n");
    restPointer({20, 20});
    {
        Program entry({"zenity", "--entry", "--title=Alternate", "--text=Name"});
        auto cancel = expectedSpot(entry.pid(), "Cancel");
        ASSERT_TRUE(cancel);
        EXPECT_TRUE(pointerReaches(*cancel));
    }

    // A question dialog shown while the pointer rests aside: it stays there.
    auto expectLeftAlone = [&](const std::string& text) {
        restPointer({20, 20});
        Program question({"zenity", "--question", "--title=Ignored", "--text=" + text});
        ASSERT_TRUE(expectedSpot(question.pid(), "Yes")) << text;
        pumpFor(1.5);
        EXPECT_EQ(pointer().x, 20) << text;
        EXPECT_EQ(pointer().y, 20) << text;
    };

    // Ignored by its desktop entry: the agent knows the running zenity by it.
    auto ignore = velmora({"ignore", "add", kDialogsName});
    ASSERT_EQ(ignore.exitCode, 0) << ignore.err;
    EXPECT_EQ(ignore.out, std::string("ignoring ") + kDialogsName + "\n");
    EXPECT_NE(velmora({"ignore", "list"}).out.find(std::string(kDialogsName) + "\t" + kDialogsEntryId + "\tuser"), std::string::npos);
    expectLeftAlone("Leave me");

    // Ignored by its program, as a file chooser gives it: by the name its processes carry.
    ASSERT_EQ(velmora({"ignore", "remove", kDialogsEntryId}).exitCode, 0);
    gchar* zenity = g_find_program_in_path("zenity");
    ASSERT_TRUE(zenity);
    auto byProgram = velmora({"ignore", "add", zenity});
    g_free(zenity);
    ASSERT_EQ(byProgram.exitCode, 0) << byProgram.err;
    EXPECT_EQ(byProgram.out, "ignoring zenity\n");
    EXPECT_NE(velmora({"ignore", "list"}).out.find("\tzenity\tuser"), std::string::npos);
    expectLeftAlone("Leave me too");

    // Stopped: the agent is gone, and so is its login entry.
    auto stop = velmora({"stop"});
    ASSERT_EQ(stop.exitCode, 0) << stop.err;
    EXPECT_EQ(stop.out, "not running\n");
    EXPECT_TRUE(pumpUntil([] { return agentPids().empty(); }, 5));
    EXPECT_FALSE(fs::exists(autostartEntry()));
    status = velmora({"status"});
    EXPECT_EQ(status.exitCode, 1);
    EXPECT_EQ(status.out, "not running\n");
}

TEST_F(VelmoraCommandEndToEndTest, AStatusQueryNeverStopsTheAgent)
{
    ASSERT_EQ(velmora({"start"}).exitCode, 0);
    ASSERT_EQ(agentPids().size(), 1u);

    // The settings file gone, then one that names another version.
    for (const auto& [path, contents] : storedFiles()) {
        if (path.ends_with(".plist"))
            fs::remove(path);
    }
    EXPECT_EQ(velmora({"status"}).out, "running\n");
    EXPECT_EQ(velmora({"set", "currentVersion", "0.1"}).exitCode, 0);
    EXPECT_EQ(velmora({"status"}).out, "running\n");
    pumpFor(1);
    EXPECT_EQ(agentPids().size(), 1u) << "a query stopped the agent";
    EXPECT_EQ(velmora({"get", "currentVersion"}).out, "0.1\n") << "a query wrote the settings";
    // The agent says it is this version: the file's word does not stop it.
    EXPECT_EQ(velmora({"start"}).out, "running\n");
    pumpFor(1);
    EXPECT_EQ(agentPids().size(), 1u);
}

TEST_F(VelmoraCommandEndToEndTest, OneAgentAtATimeAndItsInterfaceIsOnTheBus)
{
    ASSERT_EQ(velmora({"start"}).exitCode, 0);
    auto second = spawnAgent();
    EXPECT_EQ(second->waitForExit(10), 0);
    EXPECT_NE(second->said().find("another agent is already running"), std::string::npos);
    EXPECT_EQ(agentPids().size(), 1u);

    gchar* out = nullptr;
    gchar* argv[] = {const_cast<gchar*>("gdbus"), const_cast<gchar*>("introspect"), const_cast<gchar*>("--session"),
        const_cast<gchar*>("--dest"), const_cast<gchar*>("com.brightfen.velmora.Agent"), const_cast<gchar*>("--object-path"),
        const_cast<gchar*>("/com/brightfen/velmora/Agent"), nullptr};
    ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, nullptr, nullptr, nullptr));
    const std::string introspection = out ? out : "";
    g_free(out);
    for (const char* member : {"Quit()", "Reload()", "readonly s Version = '1.0.0'", "readonly b Running = true"})
        EXPECT_NE(introspection.find(member), std::string::npos) << member << " in\n" << introspection;

    // Killed without a word: the name goes with the process.
    for (pid_t pid : agentPids())
        kill(pid, SIGKILL);
    EXPECT_TRUE(pumpUntil([] { return agentPids().empty(); }, 5));
    auto status = velmora({"status"});
    EXPECT_EQ(status.exitCode, 1);
    velmora({"stop"}); // the login entry of the killed agent
}

TEST_F(VelmoraCommandEndToEndTest, AFloodOfReloadOrdersLeavesTheAgentAnswering)
{
    ASSERT_EQ(velmora({"start"}).exitCode, 0);
    // Ten thousand broadcast orders, as fast as the bus takes them.
    const char* flood =
        "from gi.repository import Gio, GLib\n"
        "bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)\n"
        "for i in range(10000):\n"
        "    bus.emit_signal(None, '/com/brightfen/velmora/DistributedNotifications', 'com.brightfen.velmora.DistributedNotifications',\n"
        "                    'Posted', GLib.Variant('(s)', ('ZQK_VelmoraMustUpdatePrefsNotification',)))\n"
        "bus.flush_sync(None)\n";
    // The system's Python: its GObject bindings come from Debian.
    gchar* argv[] = {const_cast<gchar*>("/usr/bin/python3"), const_cast<gchar*>("-c"), const_cast<gchar*>(flood), nullptr};
    int exitStatus = -1;
    ASSERT_TRUE(g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr, nullptr, &exitStatus, nullptr));
    ASSERT_EQ(exitStatus, 0);

    auto status = velmora({"status"});
    EXPECT_EQ(status.out, "running\n") << "the flood made the agent look gone";
    auto start = velmora({"start"});
    EXPECT_EQ(start.out, "running\n");
    EXPECT_EQ(agentPids().size(), 1u) << "start launched a second agent";
    expectAgentSnaps("After the flood");
}

TEST_F(VelmoraCommandEndToEndTest, TheAgentEndsCleanlyOnTerminationSignals)
{
    ASSERT_EQ(velmora({"start"}).exitCode, 0);
    ASSERT_EQ(velmora({"stop"}).exitCode, 0);
    ASSERT_EQ(velmora({"get", "playsSoundOnMove"}).exitCode, 0);
    // An autostart entry as login would find it.
    fs::create_directories(autostartEntry().parent_path());
    {
        std::ofstream entry(autostartEntry());
        entry << "[Desktop Entry]\nType=Application\nName=VelmoraBG\nExec=" << VELMORA_AGENT_PATH << "\n";
    }
    const auto before = storedFiles();
    for (int signal : {SIGTERM, SIGINT}) {
        auto agent = spawnAgent();
        ASSERT_TRUE(pumpUntil([] { return velmora({"status"}).exitCode == 0; }, 10)) << agent->said();
        kill(agent->pid, signal);
        EXPECT_EQ(agent->waitForExit(10), 0) << strsignal(signal);
        EXPECT_NE(agent->said().find(std::string("ending on SIG") + sigabbrev_np(signal)), std::string::npos);
        EXPECT_EQ(storedFiles(), before) << "the settings and the login entry stay as they were";
        EXPECT_EQ(velmora({"status"}).exitCode, 1);
    }
    fs::remove(autostartEntry());
}

} // namespace
} // namespace velmora::linux_desktop::testing
