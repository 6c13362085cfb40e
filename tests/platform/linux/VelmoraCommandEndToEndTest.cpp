// The installed programs on the real desktop: the `velmora` command and the
// agent it starts, each its own process, with the settings, the autostart
// entries and the session bus of a private XDG folder, and real zenity
// dialogs whose expected pointer spots come from AT-SPI (button-extents.py).

#include "platform/linux/DesktopSession.h"
#include "platform/linux/XTestPointer.h"
#include "platform/linux/TestApplications.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "shared/update/ProgramInfo.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <cmath>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
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
    // output is kept in pipes (short-lived agents only: nothing drains them).
    struct Agent {
        pid_t pid{0};
        int stdoutFd{-1};
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
        // What it wrote on its standard error, and on its standard output,
        // once it has ended.
        std::string said() { return readAll(stderrFd); }
        std::string printed() { return readAll(stdoutFd); }
        static std::string readAll(int fd)
        {
            std::string text;
            char buffer[4096];
            for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
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
            if (stdoutFd >= 0)
                close(stdoutFd);
        }
    };
    static std::unique_ptr<Agent> spawnAgent(std::vector<std::string> arguments = {}, const std::map<std::string, std::string>& environment = {})
    {
        gchar** env = g_environ_setenv(g_get_environ(), "XDG_CONFIG_HOME", s_config.c_str(), TRUE);
        for (const auto& [name, value] : environment)
            env = g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
        arguments.insert(arguments.begin(), VELMORA_AGENT_PATH);
        std::vector<gchar*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        auto agent = std::make_unique<Agent>();
        GErrorPtr error;
        const bool spawned = g_spawn_async_with_pipes(nullptr, argv.data(), env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &agent->pid, nullptr,
            &agent->stdoutFd, &agent->stderrFd, error.out());
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

    // The agent's first lines on its terminal, once the last of them ends
    // in `lastLineEnd` (the number of applications it watches: an open
    // zenity at least); `environment` adds variables, such as a locale.
    std::vector<std::string> firstLinesOfAgent(const std::map<std::string, std::string>& environment, const std::string& lastLineEnd);

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

TEST_F(VelmoraCommandEndToEndTest, AStartWhereTheAgentCannotWatchSaysWhyAndAddsNoAutostartEntry)
{
    // The command reaches the session bus without a display; the agent it
    // starts inherits that and cannot watch anything.
    auto start = velmora({"start"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    EXPECT_EQ(start.exitCode, 7) << start.err;
    EXPECT_NE(start.err.find("could not start watching: it found no X display"), std::string::npos) << start.err;
    EXPECT_EQ(start.out, "");
    EXPECT_LT(start.seconds, 5.0) << "heard from the agent's exit, not from the time-out";
    EXPECT_FALSE(fs::exists(autostartEntry()));
    EXPECT_TRUE(agentPids().empty()) << "no demo left playing";
    EXPECT_EQ(velmora({"status"}).exitCode, 1);
}

TEST_F(VelmoraCommandEndToEndTest, AnAgentStartedByTheSettingsGivesUpOnAMissingAccessibilityBus)
{
    // A session bus of its own that cannot start the accessibility bus's
    // launcher: no service folders.
    const fs::path config = s_config / "bare-bus.conf";
    const fs::path socket = s_config / "bare-bus";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:path=" << socket.string() << "</listen>"
                             "<policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n";
    Program bus({"dbus-daemon", "--nofork", "--config-file=" + config.string()});
    ASSERT_TRUE(pumpUntil([&] { return fs::exists(socket); }, 10)) << "the private bus did not come up";

    const gint64 started = g_get_monotonic_time();
    auto agent = spawnAgent({"--fail-without-desktop"}, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket.string()}});
    EXPECT_EQ(agent->waitForExit(20), 22);
    const double seconds = static_cast<double>(g_get_monotonic_time() - started) / G_USEC_PER_SEC;
    EXPECT_GE(seconds, 5.0);
    EXPECT_LT(seconds, 12.0);
    EXPECT_NE(agent->said().find("no accessibility bus within 5 seconds"), std::string::npos);
}

TEST_F(VelmoraCommandEndToEndTest, AnAgentGivesUpOnASessionBusThatNeverAnswers)
{
    // A socket that takes connections into its backlog and never speaks.
    const fs::path socketPath = s_config / "silent-bus";
    fs::remove(socketPath);
    const int silent = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(silent, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(silent, 4), 0);

    const gint64 started = g_get_monotonic_time();
    auto agent = spawnAgent({"--fail-without-desktop"}, {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socketPath.string()}});
    EXPECT_EQ(agent->waitForExit(20), 21) << "it waited for the silent bus";
    const double seconds = static_cast<double>(g_get_monotonic_time() - started) / G_USEC_PER_SEC;
    EXPECT_LT(seconds, 12.0);
    EXPECT_NE(agent->said().find("the session bus did not answer within"), std::string::npos) << agent->said();
    close(silent);
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

// The installed programs, as a packager or a user checks them: no desktop
// is needed to ask.
TEST_F(VelmoraCommandEndToEndTest, BothProgramsPrintTheirVersionAndExitZero)
{
    const std::map<std::string, std::string> noDesktop{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-bus"}, {"DISPLAY", ""}};
    auto command = velmora({"--version"}, noDesktop);
    EXPECT_EQ(command.exitCode, 0) << command.err;
    EXPECT_EQ(command.out, "velmora " + ProgramInfo::buildVersion() + "\n");

    auto agent = spawnAgent({"--version"}, noDesktop);
    EXPECT_EQ(agent->waitForExit(10), 0) << "it ran on (the demo?), or failed";
    EXPECT_EQ(agent->printed(), "VelmoraBG " + ProgramInfo::buildVersion() + "\n");
    EXPECT_EQ(agent->said(), "");
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

    // The built-in entries the agent wrote into the list at its start are
    // listed, marked as built in.
    const std::string list = velmora({"ignore", "list"}).out;
    for (const std::string entry : {"Moneydance", "V2C", "Address Book"})
        EXPECT_NE(list.find("\t" + entry + "\tbuilt-in\n"), std::string::npos) << entry << " in\n" << list;
    EXPECT_NE(velmora({"get", "ignoredApps"}).out.find("Moneydance\n"), std::string::npos);

    // The alternate button from the next dialog on, switched with a word.
    auto set = velmora({"set", "snapToAlternateButtonInstead", "on"});
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
    // Velmora keeps the version itself: the command refuses to set it.
    auto refused = velmora({"set", "currentVersion", "0.1"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("kept by Velmora itself"), std::string::npos) << refused.err;
    PlistSettingsFile store((s_config / "velmora").string());
    ASSERT_TRUE(store.update("com.brightfen.velmora", [](std::optional<Value::Dictionary>& domain) {
        if (!domain)
            domain.emplace();
        (*domain)["currentVersion"] = Value("0.1");
        return true;
    }));
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
    for (const std::string& member : std::vector<std::string>{"Quit()", "Reload()", "readonly s Version = '" + ProgramInfo::buildVersion() + "'", "readonly b Running = true"})
        EXPECT_NE(introspection.find(member), std::string::npos) << member << " in\n" << introspection;

    // Killed without a word: the name goes with the process.
    for (pid_t pid : agentPids())
        kill(pid, SIGKILL);
    EXPECT_TRUE(pumpUntil([] { return agentPids().empty(); }, 5));
    auto status = velmora({"status"});
    EXPECT_EQ(status.exitCode, 1);
    velmora({"stop"}); // the login entry of the killed agent
}

std::vector<std::string> VelmoraCommandEndToEndTest::firstLinesOfAgent(const std::map<std::string, std::string>& environment, const std::string& lastLineEnd)
{
    Program question({"zenity", "--question", "--title=Counted", "--text=Watched?"});
    if (!expectedSpot(question.pid(), "Yes"))
        return {"zenity is not on the accessibility bus"};
    // Settings of its own: nothing a test before ignored.
    char pattern[] = "/tmp/velmora-first-lines.XXXXXX";
    const fs::path config = mkdtemp(pattern);
    auto variables = environment;
    variables["XDG_CONFIG_HOME"] = config.string();
    auto agent = spawnAgent({}, variables);
    fcntl(agent->stderrFd, F_SETFL, fcntl(agent->stderrFd, F_GETFL) | O_NONBLOCK);
    std::string said;
    pumpUntil([&] {
        char buffer[4096];
        for (ssize_t n; (n = read(agent->stderrFd, buffer, sizeof buffer)) > 0;)
            said.append(buffer, static_cast<size_t>(n));
        return said.find(lastLineEnd + "\n") != std::string::npos;
    }, 20);
    agent.reset();
    fs::remove_all(config);
    std::vector<std::string> lines;
    std::istringstream in(said);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(VelmoraCommandEndToEndTest, TheAgentsFirstLinesSayWhatRunsOnWhichDesktopAndHowManyApplicationsItWatches)
{
    const auto lines = firstLinesOfAgent({}, "application");
    ASSERT_GE(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "VelmoraBG: Velmora " VELMORA_VERSION " agent started");
    EXPECT_EQ(lines[1], std::string("VelmoraBG: Desktop: X11 (display ") + std::getenv("DISPLAY") + "): not a Wayland session");
    EXPECT_EQ(lines[2], "VelmoraBG: Accessibility: on");
    unsigned watched = 0;
    ASSERT_EQ(std::sscanf(lines[3].c_str(), "VelmoraBG: Watching %u application", &watched), 1) << lines[3];
    EXPECT_GE(watched, 1u) << "the open zenity at least";
}

TEST_F(VelmoraCommandEndToEndTest, UnderAGermanLocaleTheAgentsFirstLinesAreGerman)
{
    // C.UTF-8 is there without generating a locale and, unlike C, lets
    // LANGUAGE pick the catalogue: the build folder's, compiled from de.po.
    const auto lines = firstLinesOfAgent({{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "de"}}, "Anwendung");
    ASSERT_GE(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], "VelmoraBG: Velmora-" VELMORA_VERSION "-Agent gestartet");
    EXPECT_EQ(lines[1], std::string("VelmoraBG: Desktop: X11 (Bildschirm ") + std::getenv("DISPLAY") + "): keine Wayland-Sitzung");
    EXPECT_EQ(lines[2], "VelmoraBG: Barrierefreiheit: ein");
    unsigned watched = 0;
    ASSERT_EQ(std::sscanf(lines[3].c_str(), "VelmoraBG: Beobachte %u Anwendung", &watched), 1) << lines[3];
    // German's plural adds "en": the count chose its form.
    EXPECT_EQ(lines[3].ends_with("Anwendungen"), watched != 1) << lines[3];
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

// A folder of the test's own, removed with it.
class PrivateFolder {
public:
    PrivateFolder()
    {
        char pattern[] = "/tmp/velmora-command-private.XXXXXX";
        m_path = mkdtemp(pattern);
    }
    ~PrivateFolder() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// One shell running `velmora` commands one after another, started at once
// with the others, each command's exit code, name and output logged.
class CommandWorker {
public:
    CommandWorker(const fs::path& folder, const std::string& name, const std::vector<std::vector<std::string>>& commands,
        const std::map<std::string, std::string>& environment)
        : m_log(folder / (name + ".log"))
    {
        const fs::path script = folder / (name + ".sh");
        std::ofstream out(script);
        out << "#!/bin/sh\n";
        for (const auto& command : commands) {
            std::string words;
            for (const auto& word : command)
                words += " '" + word + "'";
            out << "output=$(\"$VELMORA\"" << words << " 2>&1); echo \"$?" << words << " => $output\" >>'" << m_log.string() << "'\n";
        }
        out.close();
        fs::permissions(script, fs::perms::owner_all);

        gchar** env = g_get_environ();
        env = g_environ_setenv(env, "VELMORA", VELMORA_COMMAND_PATH, TRUE);
        for (const auto& [variable, value] : environment)
            env = g_environ_setenv(env, variable.c_str(), value.c_str(), TRUE);
        const std::string scriptPath = script.string();
        gchar* argv[] = {const_cast<gchar*>("/bin/sh"), const_cast<gchar*>(scriptPath.c_str()), nullptr};
        GErrorPtr error;
        if (!g_spawn_async(nullptr, argv, env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &m_pid, error.out()))
            m_pid = -1;
        g_strfreev(env);
    }

    // Waits for the shell; the log's lines, one per command.
    std::vector<std::string> finish()
    {
        int status = 0;
        if (m_pid > 0)
            waitpid(m_pid, &status, 0);
        std::vector<std::string> lines;
        std::ifstream in(m_log);
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line[0] >= '0' && line[0] <= '9')
                lines.push_back(line);
            else if (!lines.empty())
                lines.back() += "\n" + line; // a message of several lines
        }
        return lines;
    }

private:
    fs::path m_log;
    GPid m_pid{-1};
};

TEST_F(VelmoraCommandEndToEndTest, CommandsEditingTheIgnoredListAtOnceLoseNothingAndReportTruly)
{
    // Installed applications of the test's own, and settings of its own.
    PrivateFolder data, config, work;
    constexpr int kEach = 30;
    constexpr int kPreset = 20;
    auto entryId = [](const std::string& group, int n) { return "velmora-race-" + group + "-" + std::to_string(n); };
    for (const std::string group : {"a", "b", "c", "p"}) {
        for (int n = 1; n <= kEach; ++n)
            writeEntry(data.path() / "applications" / (entryId(group, n) + ".desktop"), "Name=Race " + group + " " + std::to_string(n) + "\nExec=true\n");
    }
    // Entries on the list before the race begins, some of them to be removed.
    Value::Array preset;
    for (int n = 1; n <= kPreset; ++n)
        preset.push_back(entryId("p", n));
    PlistSettingsFile store((config.path() / "velmora").string());
    ASSERT_TRUE(store.update("com.brightfen.velmora", [&](std::optional<Value::Dictionary>& domain) {
        domain = Value::Dictionary{{"ignoredApps", preset}};
        return true;
    }));

    // Two processes add; a third removes and adds, each command on its own
    // entry, all at the same time.
    std::vector<std::vector<std::string>> addsA, addsB, mixed;
    for (int n = 1; n <= kEach; ++n) {
        addsA.push_back({"ignore", "add", entryId("a", n)});
        addsB.push_back({"ignore", "add", entryId("b", n)});
    }
    constexpr int kRemoved = 15;
    for (int n = 1; n <= kRemoved; ++n) {
        mixed.push_back({"ignore", "remove", entryId("p", n)});
        mixed.push_back({"ignore", "add", entryId("c", n)});
    }
    const std::map<std::string, std::string> environment{{"XDG_DATA_HOME", data.path().string()}, {"XDG_CONFIG_HOME", config.path().string()}};
    std::vector<std::unique_ptr<CommandWorker>> workers;
    workers.push_back(std::make_unique<CommandWorker>(work.path(), "adds-a", addsA, environment));
    workers.push_back(std::make_unique<CommandWorker>(work.path(), "adds-b", addsB, environment));
    workers.push_back(std::make_unique<CommandWorker>(work.path(), "mixed", mixed, environment));

    // Every command said it did what it was asked.
    size_t commands = 0;
    for (auto& worker : workers) {
        for (const auto& line : worker->finish()) {
            ++commands;
            EXPECT_EQ(line.rfind("0 ", 0), 0u) << line;
            EXPECT_TRUE(line.find("=> ignoring Race ") != std::string::npos || line.find(" 'remove' ") != std::string::npos) << line;
        }
    }
    EXPECT_EQ(commands, addsA.size() + addsB.size() + mixed.size());

    // And it is so: nothing lost, nothing brought back, nothing twice.
    std::set<std::string> expected;
    for (int n = 1; n <= kEach; ++n) {
        expected.insert(entryId("a", n));
        expected.insert(entryId("b", n));
    }
    for (int n = 1; n <= kRemoved; ++n)
        expected.insert(entryId("c", n));
    for (int n = kRemoved + 1; n <= kPreset; ++n)
        expected.insert(entryId("p", n));
    auto domain = store.read("com.brightfen.velmora");
    ASSERT_TRUE(domain);
    const Value::Array* stored = valueForKey(*domain, "ignoredApps").array();
    ASSERT_TRUE(stored);
    std::set<std::string> storedEntries;
    for (const auto& item : *stored)
        storedEntries.insert(item.description());
    EXPECT_EQ(storedEntries, expected);
    EXPECT_EQ(stored->size(), expected.size()) << "an entry stored twice";

    // As the command lists them.
    auto list = velmora({"ignore", "list"}, environment);
    ASSERT_EQ(list.exitCode, 0) << list.err;
    std::set<std::string> listed;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find('\t'), second = line.find('\t', first + 1);
        if (line.substr(second + 1) == "user")
            listed.insert(line.substr(first + 1, second - first - 1));
    }
    EXPECT_EQ(listed, expected);
}

TEST_F(VelmoraCommandEndToEndTest, ADeeplyNestedSettingsFileIsSetAsideNotACrash)
{
    PrivateFolder config;
    const fs::path folder = config.path() / "velmora";
    fs::create_directories(folder);
    const fs::path file = folder / "com.brightfen.velmora.plist";
    // 50,000 nested arrays, 750 KB: once enough to overflow the stack.
    constexpr int kLevels = 50000;
    std::string nested = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict><key>ignoredApps</key>";
    for (int i = 0; i < kLevels; ++i)
        nested += "<array>";
    for (int i = 0; i < kLevels; ++i)
        nested += "</array>";
    nested += "</dict>\n</plist>\n";
    std::ofstream(file) << nested;

    const std::map<std::string, std::string> environment{{"XDG_CONFIG_HOME", config.path().string()}};
    auto get = velmora({"get", "playsSoundOnMove"}, environment);
    EXPECT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "false\n");
    EXPECT_NE(get.err.find("nested deeper than"), std::string::npos) << get.err;
    // Kept whole beside a fresh file, as any damaged one.
    EXPECT_TRUE(contentsOf(fs::path(file.string() + ".corrupt")) == nested) << "not kept whole"; // 750 KB: not printed
    EXPECT_NE(contentsOf(file).find("playsSoundOnMove"), std::string::npos);
}

TEST_F(VelmoraCommandEndToEndTest, TextTheSettingsFileCannotHoldIsRefusedAndALinkedLockIsNotFollowed)
{
    PrivateFolder config;
    const std::map<std::string, std::string> environment{{"XDG_CONFIG_HOME", config.path().string()}};
    ASSERT_EQ(velmora({"set", "ignoredApps", "Mail"}, environment).exitCode, 0);
    const auto before = contentsOf(config.path() / "velmora" / "com.brightfen.velmora.plist");

    for (const std::string text : {"Mail,Fin\x01" "der", "Mail,Caf\xe9"}) {
        auto set = velmora({"set", "ignoredApps", text}, environment);
        EXPECT_EQ(set.exitCode, 2);
        EXPECT_NE(set.err.find("only UTF-8 text without control characters"), std::string::npos) << set.err;
    }
    EXPECT_EQ(contentsOf(config.path() / "velmora" / "com.brightfen.velmora.plist"), before);

    // A link planted in place of the lock: the write fails, and says so,
    // rather than create the file the link points to.
    const fs::path lock = config.path() / "velmora" / "com.brightfen.velmora.plist.lock";
    const fs::path target = config.path() / "planted";
    fs::remove(lock);
    fs::create_symlink(target, lock);
    auto set = velmora({"set", "playsSoundOnMove", "true"}, environment);
    EXPECT_EQ(set.exitCode, 6);
    EXPECT_NE(set.err.find("symbolic link"), std::string::npos) << set.err;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(contentsOf(config.path() / "velmora" / "com.brightfen.velmora.plist"), before);
}

} // namespace
} // namespace velmora::linux_desktop::testing
