// The installed programs on the real desktop: the `velmora` command and the
// agent it starts, each its own process, with the settings, the autostart
// entries and the session bus of a private XDG folder, and real zenity
// dialogs whose expected pointer spots come from AT-SPI (button-extents.py).

#include "platform/linux/DesktopSession.h"
#include "platform/linux/InstalledPrograms.h"
#include "platform/linux/StartedAgent.h"
#include "platform/linux/TestApplications.h"
#include "platform/linux/XTestPointer.h"
#include "shared/update/ProgramInfo.h"

#include <X11/Xlib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

// Neither a session bus nor a display: what a packager's build machine offers.
const std::map<std::string, std::string> kNoDesktop{{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-bus"}, {"DISPLAY", ""}};

class VelmoraCommandEndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_config = new TemporaryFolder; }
    static void TearDownTestSuite()
    {
        // An agent a failed test left behind goes with the suite.
        for (pid_t pid : agentPids())
            kill(pid, SIGKILL);
        delete s_config;
    }

    void SetUp() override
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display)
            GTEST_FAIL() << "no X display: run through run-desktop-tests.sh";
        // From the defaults: no test inherits what another stored (an ignored zenity).
        fs::remove_all(*s_config / "velmora");
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
    static Outcome velmora(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment = {})
    {
        std::vector<std::string> argv{VELMORA_COMMAND_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        environment.try_emplace("XDG_CONFIG_HOME", s_config->path().string());
        return runToEnd(argv, environment, 30);
    }
    static std::vector<pid_t> agentPids() { return agentsWithSettingsIn(s_config->path()); }
    static fs::path autostartEntry() { return *s_config / "autostart/VelmoraBG.desktop"; }

    // The agent with the suite's settings folder, unless `environment` names another.
    static std::unique_ptr<StartedAgent> spawnAgent(std::vector<std::string> arguments = {}, std::map<std::string, std::string> environment = {})
    {
        environment.try_emplace("XDG_CONFIG_HOME", s_config->path().string());
        return std::make_unique<StartedAgent>(std::move(arguments), environment);
    }

    // The agent of the suite answers through its name and still snaps.
    void expectAgentSnaps(const std::string& title)
    {
        EXPECT_TRUE(zenitySnapsTo(m_display, {"zenity", "--question", "--title=" + title, "--text=Snap?"}, "Yes")) << title;
    }

    // Every settings file of the suite with its contents.
    static std::map<std::string, std::string> storedFiles()
    {
        std::map<std::string, std::string> files;
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(s_config->path(), error)) {
            if (entry.is_regular_file())
                files[entry.path().string()] = contentsOf(entry.path());
        }
        return files;
    }

    // The agent's first four lines on its terminal, the last of them the
    // number of applications it watches (an open zenity at least);
    // `environment` adds variables, such as a locale.
    std::vector<std::string> firstLinesOfAgent(const std::map<std::string, std::string>& environment);

    inline static TemporaryFolder* s_config{nullptr}; // owned by the suite
    Display* m_display{nullptr}; // owned
};

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
    const fs::path config = *s_config / "bare-bus.conf";
    const fs::path socket = *s_config / "bare-bus";
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
    const fs::path socketPath = *s_config / "silent-bus";
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

// The installed programs, as a packager or a user checks them: the help and
// the versions need no desktop; everything else says clearly that it does.
TEST_F(VelmoraCommandEndToEndTest, WithoutADesktopHelpAndVersionsWorkAndTheRestFailsClearly)
{
    const auto before = storedFiles();
    auto status = velmora({"status"}, kNoDesktop);
    EXPECT_EQ(status.exitCode, 5);
    EXPECT_EQ(status.out, "");
    EXPECT_NE(status.err.find("no desktop session"), std::string::npos) << status.err;
    EXPECT_EQ(velmora({"set", "playsSoundOnMove", "true"}, kNoDesktop).exitCode, 5);
    EXPECT_EQ(storedFiles(), before);
    auto window = velmora({}, kNoDesktop);
    EXPECT_EQ(window.exitCode, 5);
    EXPECT_NE(window.err.find("no display to open the settings window on"), std::string::npos) << window.err;

    auto help = velmora({"--help"}, kNoDesktop);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes"), std::string::npos);
    EXPECT_NE(help.out.find("Without a command, opens the settings window"), std::string::npos) << help.out;
    auto version = velmora({"--version"}, kNoDesktop);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, "velmora " + ProgramInfo::buildVersion() + "\n");
    auto agent = spawnAgent({"--version"}, kNoDesktop);
    EXPECT_EQ(agent->waitForExit(10), 0) << "it ran on (the demo?), or failed";
    EXPECT_EQ(agent->printed(), "VelmoraBG " + ProgramInfo::buildVersion() + "\n");
    EXPECT_EQ(agent->said(), "");
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
    EXPECT_TRUE(zenitySnapsTo(m_display, {"zenity", "--entry", "--title=Alternate", "--text=Name"}, "Cancel"));

    // A question dialog shown while the pointer rests aside: it stays there.
    const auto leftAlone = [&](const std::string& text) {
        return zenitySnapsTo(m_display, {"zenity", "--question", "--title=Ignored", "--text=" + text}, "Yes", true);
    };

    // Ignored by its desktop entry: the agent knows the running zenity by it.
    auto ignore = velmora({"ignore", "add", kDialogsName});
    ASSERT_EQ(ignore.exitCode, 0) << ignore.err;
    EXPECT_EQ(ignore.out, std::string("ignoring ") + kDialogsName + "\n");
    EXPECT_NE(velmora({"ignore", "list"}).out.find(std::string(kDialogsName) + "\t" + kDialogsEntryId + "\tuser"), std::string::npos);
    EXPECT_TRUE(leftAlone("Leave me"));

    // Ignored by its program, as a file chooser gives it: by the name its processes carry.
    ASSERT_EQ(velmora({"ignore", "remove", kDialogsEntryId}).exitCode, 0);
    gchar* zenity = g_find_program_in_path("zenity");
    ASSERT_TRUE(zenity);
    auto byProgram = velmora({"ignore", "add", zenity});
    g_free(zenity);
    ASSERT_EQ(byProgram.exitCode, 0) << byProgram.err;
    EXPECT_EQ(byProgram.out, "ignoring zenity\n");
    EXPECT_NE(velmora({"ignore", "list"}).out.find("\tzenity\tuser"), std::string::npos);
    EXPECT_TRUE(leftAlone("Leave me too"));

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

TEST_F(VelmoraCommandEndToEndTest, OneAgentAtATimeAndItsInterfaceIsOnTheBus)
{
    ASSERT_EQ(velmora({"start"}).exitCode, 0);
    auto second = spawnAgent();
    EXPECT_EQ(second->waitForExit(10), 0);
    EXPECT_NE(second->said().find("another agent is already running"), std::string::npos);
    EXPECT_EQ(agentPids().size(), 1u);

    const std::string introspection = runToEnd({"gdbus", "introspect", "--session", "--dest", "com.brightfen.velmora.Agent",
        "--object-path", "/com/brightfen/velmora/Agent"}, {}, 10).out;
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

std::vector<std::string> VelmoraCommandEndToEndTest::firstLinesOfAgent(const std::map<std::string, std::string>& environment)
{
    Program question({"zenity", "--question", "--title=Counted", "--text=Watched?"});
    if (!expectedButtonSpot(question.pid(), "Yes"))
        return {"zenity is not on the accessibility bus"};
    // Settings of its own: nothing a test before ignored.
    const TemporaryFolder config;
    auto variables = environment;
    variables["XDG_CONFIG_HOME"] = config.path().string();
    StartedAgent agent({}, variables);
    std::string said;
    pumpUntil([&] {
        said = agent.said();
        return std::count(said.begin(), said.end(), '\n') >= 4;
    }, 20);
    std::vector<std::string> lines;
    std::istringstream in(said);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(VelmoraCommandEndToEndTest, TheAgentsFirstLinesSayWhatRunsOnWhichDesktopAndHowManyApplicationsItWatchesInTheUsersLanguage)
{
    const std::string display = std::getenv("DISPLAY");
    struct Language {
        std::map<std::string, std::string> environment;
        std::vector<std::string> firstLines;
        const char* watching; // the fourth line, up to the count
        const char* application; // its last word
        const char* applications; // that word for more than one
    };
    // C.UTF-8 is there without generating a locale and, unlike C, lets
    // LANGUAGE pick the catalogue: the build folder's, compiled from de.po.
    const Language languages[]{
        {{}, {"VelmoraBG: Velmora " VELMORA_VERSION " agent started", "VelmoraBG: Desktop: X11 (display " + display + "): not a Wayland session",
                 "VelmoraBG: Accessibility: on"}, "VelmoraBG: Watching %u application", "application", "applications"},
        {{{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "de"}},
            {"VelmoraBG: Velmora-" VELMORA_VERSION "-Agent gestartet", "VelmoraBG: Desktop: X11 (Bildschirm " + display + "): keine Wayland-Sitzung",
                "VelmoraBG: Barrierefreiheit: ein"}, "VelmoraBG: Beobachte %u Anwendung", "Anwendung", "Anwendungen"},
    };
    for (const auto& language : languages) {
        SCOPED_TRACE(language.firstLines[0]);
        const auto lines = firstLinesOfAgent(language.environment);
        ASSERT_GE(lines.size(), 4u) << ::testing::PrintToString(lines);
        for (size_t i = 0; i < language.firstLines.size(); ++i)
            EXPECT_EQ(lines[i], language.firstLines[i]);
        unsigned watched = 0;
        ASSERT_EQ(std::sscanf(lines[3].c_str(), language.watching, &watched), 1) << lines[3];
        EXPECT_GE(watched, 1u) << "the open zenity at least";
        // The count chose the plural's form.
        EXPECT_TRUE(lines[3].ends_with(watched == 1 ? language.application : language.applications)) << lines[3];
    }
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
    ASSERT_EQ(runToEnd({"/usr/bin/python3", "-c", flood}).exitCode, 0);

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
        kill(agent->pid(), signal);
        EXPECT_EQ(agent->waitForExit(10), 0) << strsignal(signal);
        EXPECT_NE(agent->said().find(std::string("ending on SIG") + sigabbrev_np(signal)), std::string::npos);
        EXPECT_EQ(storedFiles(), before) << "the settings and the login entry stay as they were";
        EXPECT_EQ(velmora({"status"}).exitCode, 1);
    }
    fs::remove(autostartEntry());
}

} // namespace
} // namespace velmora::linux_desktop::testing
