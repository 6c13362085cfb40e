// The settings window used as a person would: the built `velmora` opened
// without arguments, driven only through its own accessibility tree (the
// interface the agent itself reads), with the real agent it starts, real
// zenity dialogs, and a screenshot of each step kept under the build folder.

#include "platform/linux/DesktopSession.h"
#include "platform/linux/FeedServer.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/InstalledPrograms.h"
#include "platform/linux/StartedAgent.h"
#include "platform/linux/TestApplications.h"
#include "platform/linux/XTestPointer.h"
// After the accessibility headers: X11's macros (None) would spoil them.
#include "platform/linux/ActiveWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <atspi/atspi.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

using Node = GObjectRef<AtspiAccessible>;

std::string nameOf(AtspiAccessible* node)
{
    gchar* name = atspi_accessible_get_name(node, nullptr);
    std::string text = name ? name : "";
    g_free(name);
    return text;
}

bool hasState(AtspiAccessible* node, AtspiStateType state)
{
    auto states = GObjectRef<AtspiStateSet>::adopt(node ? atspi_accessible_get_state_set(node) : nullptr);
    return states && atspi_state_set_contains(states.get(), state);
}

// The first showing node under `root`, depth first, that `matches`. Tables
// are entered only when `intoTables`: a file chooser's lists are long.
Node findNode(AtspiAccessible* root, const std::function<bool(AtspiAccessible*)>& matches, bool intoTables = false, int depth = 0)
{
    if (!root || depth > 30)
        return {};
    if (depth > 0 && !hasState(root, ATSPI_STATE_SHOWING))
        return {};
    if (matches(root))
        return Node::retain(root);
    const AtspiRole role = atspi_accessible_get_role(root, nullptr);
    if (!intoTables && (role == ATSPI_ROLE_TABLE || role == ATSPI_ROLE_TREE_TABLE))
        return {};
    const int count = atspi_accessible_get_child_count(root, nullptr);
    for (int i = 0; i < count; ++i) {
        Node child = Node::adopt(atspi_accessible_get_child_at_index(root, i, nullptr));
        if (Node found = findNode(child.get(), matches, intoTables, depth + 1))
            return found;
    }
    return {};
}

class SettingsWindowEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_display = XOpenDisplay(nullptr);
        if (!m_display || !m_session.isReady())
            GTEST_FAIL() << "no real desktop: run through run-desktop-tests.sh";
        m_screenshots = fs::path(VELMORA_SCREENSHOTS_DIR) / "settings-window";
        fs::create_directories(m_screenshots);
    }
    void TearDown() override
    {
        if (m_accessibilitySwitched)
            switchAccessibility(true);
        for (pid_t pid : agentPids())
            kill(pid, SIGKILL);
        if (m_window > 0) {
            kill(m_window, SIGKILL);
            waitpid(m_window, nullptr, 0);
        }
        if (m_display)
            XCloseDisplay(m_display);
    }

    // Opens the window as a person would: the command without arguments.
    void openWindow(const std::vector<std::pair<std::string, std::string>>& environment = {})
    {
        gchar** env = g_environ_setenv(g_get_environ(), "XDG_CONFIG_HOME", m_config.path().c_str(), TRUE);
        for (const auto& [variable, value] : environment)
            env = g_environ_setenv(env, variable.c_str(), value.c_str(), TRUE);
        gchar* argv[] = {const_cast<gchar*>(VELMORA_COMMAND_PATH), nullptr};
        GErrorPtr error;
        g_spawn_async(nullptr, argv, env, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &m_window, error.out());
        g_strfreev(env);
    }

    // The window over the system's data with no applications in it.
    void openWindowWithoutApplications()
    {
        const fs::path data = m_config / "data";
        const fs::path dirs = m_config / "system-data";
        fs::create_directories(data);
        fs::create_directories(dirs);
        for (const auto& entry : fs::directory_iterator("/usr/share")) {
            if (entry.path().filename() != "applications")
                fs::create_symlink(entry.path(), dirs / entry.path().filename());
        }
        openWindow({{"XDG_DATA_HOME", data.string()}, {"XDG_DATA_DIRS", dirs.string()}});
    }

    // The window's application on the accessibility bus, or with `anyPid` every one in turn until `visit` is done.
    static bool forApplications(pid_t pid, const std::function<bool(AtspiAccessible*)>& visit)
    {
        Node desktop = Node::adopt(atspi_get_desktop(0));
        for (int i = 0, count = atspi_accessible_get_child_count(desktop.get(), nullptr); i < count; ++i) {
            Node app = Node::adopt(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
            if (app && (pid == kAnyPid || static_cast<pid_t>(atspi_accessible_get_process_id(app.get(), nullptr)) == pid) && visit(app.get()))
                return true;
        }
        return false;
    }
    static constexpr pid_t kAnyPid = -1;
    Node application()
    {
        Node found;
        forApplications(m_window, [&](AtspiAccessible* app) { return static_cast<bool>(found = Node::retain(app)); });
        return found;
    }

    // Waits for a showing node of that role whose name `matches`.
    Node waitFor(AtspiRole role, const std::function<bool(const std::string&)>& matches, double seconds = 10)
    {
        Node found;
        pumpUntil([&] {
            Node app = application();
            found = findNode(app.get(), [&](AtspiAccessible* node) {
                return atspi_accessible_get_role(node, nullptr) == role && matches(nameOf(node));
            }, role == ATSPI_ROLE_TABLE_CELL);
            return static_cast<bool>(found);
        }, seconds);
        return found;
    }
    Node waitFor(AtspiRole role, const std::string& name, double seconds = 10)
    {
        return waitFor(role, [&](const std::string& n) { return n == name; }, seconds);
    }
    static std::function<bool(const std::string&)> containing(const std::string& part)
    {
        return [part](const std::string& name) { return name.find(part) != std::string::npos; };
    }

    bool waitForState(const Node& node, AtspiStateType state, bool wanted, double seconds = 10)
    {
        return pumpUntil([&] { return hasState(node.get(), state) == wanted; }, seconds);
    }

    // The control's own first action: press, toggle, click.
    bool press(const Node& node)
    {
        auto action = GObjectRef<AtspiAction>::adopt(node ? atspi_accessible_get_action_iface(node.get()) : nullptr);
        return action && atspi_action_do_action(action.get(), 0, nullptr);
    }

    void screenshot(const std::string& step)
    {
        const std::string command = std::string(DESKTOP_TESTS_DIR "/screenshot.py '") + (m_screenshots / (step + ".png")).string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << "no screenshot of " << step;
    }

    // `velmora` run as from a terminal, with this test's settings; what it
    // printed goes to `output`.
    bool runCommand(const std::vector<std::string>& arguments, std::string* output = nullptr)
    {
        std::vector<std::string> argv{VELMORA_COMMAND_PATH};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        const Outcome outcome = runToEnd(argv, {{"XDG_CONFIG_HOME", m_config.path().string()}}, 10);
        if (output)
            *output = outcome.out;
        return outcome.exitCode == 0;
    }

    // The session's accessibility switch, as a desktop's settings flip it.
    bool switchAccessibility(bool on)
    {
        auto bus = GObjectRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
        if (!bus)
            return false;
        GVariant* reply = g_dbus_connection_call_sync(bus.get(), "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
            g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(on)), nullptr, G_DBUS_CALL_FLAGS_NONE, 2000,
            nullptr, nullptr);
        if (reply)
            g_variant_unref(reply);
        m_accessibilitySwitched = !on;
        return reply != nullptr;
    }

    static AtspiRect extentsOf(const Node& node)
    {
        AtspiRect rect{};
        auto component = GObjectRef<AtspiComponent>::adopt(node ? atspi_accessible_get_component_iface(node.get()) : nullptr);
        if (AtspiRect* extents = component ? atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, nullptr) : nullptr) {
            rect = *extents;
            g_free(extents);
        }
        return rect;
    }

    // Pixels of the screen in `rect` that read as pink or red: clearly more
    // red than green and blue.
    int reddishPixels(const AtspiRect& rect)
    {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), rect.x, rect.y, rect.width, rect.height, AllPlanes, ZPixmap);
        if (!image)
            return -1;
        int count = 0;
        for (int y = 0; y < rect.height; ++y) {
            for (int x = 0; x < rect.width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const int red = (pixel >> 16) & 0xff, green = (pixel >> 8) & 0xff, blue = pixel & 0xff;
                count += red - std::max(green, blue) > 40;
            }
        }
        XDestroyImage(image);
        return count;
    }

    // A showing node of any application on the desktop (applications
    // themselves are never showing: searched from each).
    static Node findOnDesktop(AtspiRole role, const std::string& name, double seconds)
    {
        Node found;
        pumpUntil([&] {
            return forApplications(kAnyPid, [&](AtspiAccessible* app) {
                return static_cast<bool>(found = findNode(app, [&](AtspiAccessible* node) {
                    return atspi_accessible_get_role(node, nullptr) == role && nameOf(node) == name;
                }));
            });
        }, seconds);
        return found;
    }

    bool windowEnds(double seconds)
    {
        return pumpUntil([&] { return waitpid(m_window, nullptr, WNOHANG) == m_window; }, seconds) && (m_window = 0, true);
    }

    bool absent(const std::function<bool(const std::string&)>& matches, double seconds)
    {
        return pumpUntil([&] {
            return !findNode(application().get(), [&](AtspiAccessible* node) { return matches(nameOf(node)); });
        }, seconds);
    }

    std::vector<pid_t> agentPids() { return agentsWithSettingsIn(m_config.path()); }

    void restPointer(Spot spot) { restPointerAt(m_display, spot); }
    Spot pointer() { return pointerOf(m_display); }

    ::testing::AssertionResult pointerReaches(Spot spot) { return pointerReachesSpot([this] { return pointer(); }, spot, 10); }

    DesktopSession m_session;
    Display* m_display{nullptr}; // owned
    TemporaryFolder m_config;
    fs::path m_screenshots;
    GPid m_window{0};
    bool m_accessibilitySwitched{false};
};

TEST_F(SettingsWindowEndToEndTest, APersonSwitchesTheAgentOnChangesItsSettingsAndSwitchesItOff)
{
    openWindow();
    ASSERT_TRUE(waitFor(ATSPI_ROLE_FRAME, "Velmora", 20)) << "the window did not open";
    const gint64 shown = g_get_monotonic_time();
    // Nobody answers the status question: the window says so once it times out.
    ASSERT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora is not running", 4));
    EXPECT_LT(static_cast<double>(g_get_monotonic_time() - shown) / G_USEC_PER_SEC, 2.5);
    Node runSwitch = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Run Velmora");
    ASSERT_TRUE(runSwitch);
    ASSERT_TRUE(waitForState(runSwitch, ATSPI_STATE_SENSITIVE, true));
    EXPECT_FALSE(hasState(runSwitch.get(), ATSPI_STATE_CHECKED));
    Node snapToCancel = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Snap to the Cancel button instead");
    ASSERT_TRUE(snapToCancel);
    EXPECT_FALSE(hasState(snapToCancel.get(), ATSPI_STATE_SENSITIVE)) << "settings change only while the agent runs";
    screenshot("1-not-running");

    // On: the agent starts and answers.
    ASSERT_TRUE(press(runSwitch));
    ASSERT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora is running", 15)) << "the agent did not answer";
    EXPECT_TRUE(hasState(runSwitch.get(), ATSPI_STATE_CHECKED));
    EXPECT_EQ(agentPids().size(), 1u);
    ASSERT_TRUE(waitForState(snapToCancel, ATSPI_STATE_SENSITIVE, true));
    screenshot("2-running");

    // Snap to the cancel button: the next real dialog is snapped onto "Cancel".
    ASSERT_TRUE(press(snapToCancel));
    ASSERT_TRUE(waitForState(snapToCancel, ATSPI_STATE_CHECKED, true));
    pumpFor(0.5);
    restPointer({20, 20});
    {
        Program entry({"zenity", "--entry", "--title=Alternate", "--text=Name"});
        auto cancel = expectedButtonSpot(entry.pid(), "Cancel");
        ASSERT_TRUE(cancel);
        EXPECT_TRUE(pointerReaches(*cancel));
        screenshot("3-snapped-to-cancel");
    }
    ASSERT_TRUE(press(snapToCancel));
    ASSERT_TRUE(waitForState(snapToCancel, ATSPI_STATE_CHECKED, false));

    // The ignored applications: add the dialogs' desktop entry through the sheet.
    Node ignoredButton = waitFor(ATSPI_ROLE_PUSH_BUTTON, "Ignored Applications…");
    ASSERT_TRUE(ignoredButton);
    ASSERT_TRUE(press(ignoredButton));
    Node add = waitFor(ATSPI_ROLE_PUSH_BUTTON, "Add…");
    ASSERT_TRUE(add) << "the sheet did not open";
    // The built-in three are listed and cannot be removed.
    EXPECT_FALSE(hasState(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Remove").get(), ATSPI_STATE_SENSITIVE));
    ASSERT_TRUE(press(add));
    Node exclude = waitFor(ATSPI_ROLE_PUSH_BUTTON, "Exclude");
    ASSERT_TRUE(exclude) << "the application picker did not open";
    // Applications by name with their icons, never desktop file names.
    ASSERT_TRUE(waitFor(ATSPI_ROLE_TABLE_CELL, kSorterName)) << "an installed application is not offered";
    EXPECT_FALSE(waitFor(ATSPI_ROLE_TABLE_CELL, containing(".desktop"), 0.5)) << "the picker shows file names";
    // Typing narrows the list to the match and selects it.
    Node search = waitFor(ATSPI_ROLE_TEXT, "Search applications");
    ASSERT_TRUE(search) << "no search field in the picker";
    AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(search.get());
    ASSERT_TRUE(editable);
    EXPECT_TRUE(atspi_editable_text_set_text_contents(editable, "test dialogs", nullptr));
    g_object_unref(editable);
    EXPECT_TRUE(absent([](const std::string& name) { return name == kSorterName; }, 5)) << "the search did not narrow the list";
    ASSERT_TRUE(waitFor(ATSPI_ROLE_TABLE_CELL, kDialogsName)) << "the search lost the match";
    screenshot("4-choosing-an-application");
    ASSERT_TRUE(press(exclude));
    ASSERT_TRUE(waitFor(ATSPI_ROLE_TABLE_CELL, kDialogsName)) << "the chosen application is not in the list";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing(kDialogsName))) << "the summary does not name it";
    screenshot("5-ignored-applications");
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Done")));
    pumpFor(0.5);
    EXPECT_TRUE(zenitySnapsTo(m_display, {"zenity", "--question", "--title=Ignored", "--text=Leave me"}, "Yes", true));

    // The test dialog: the agent snaps the pointer onto its "OK".
    restPointer({20, 20});
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Test Dialog")));
    auto ok = expectedButtonSpot(m_window, "OK");
    ASSERT_TRUE(ok);
    EXPECT_TRUE(pointerReaches(*ok));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "This is a test"));
    screenshot("6-test-dialog");
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "OK")));

    // Off: the agent quits.
    ASSERT_TRUE(press(runSwitch));
    ASSERT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora is not running", 15));
    EXPECT_FALSE(hasState(runSwitch.get(), ATSPI_STATE_CHECKED));
    EXPECT_TRUE(pumpUntil([&] { return agentPids().empty(); }, 10)) << "the agent still runs";
    screenshot("7-switched-off");

    // An agent started some other way (at login, from a terminal) turns the switch on.
    auto agent = std::make_unique<StartedAgent>(std::vector<std::string>{},
                                                std::map<std::string, std::string>{{"XDG_CONFIG_HOME", m_config.path().string()}});
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora is running", 15)) << "the window did not follow the agent";
    EXPECT_TRUE(waitForState(runSwitch, ATSPI_STATE_CHECKED, true));
    screenshot("8-started-elsewhere");

    // Killed without a word: the open window follows within a second or so.
    agent.reset();
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora is not running", 3)) << "the window still shows a killed agent";
    EXPECT_TRUE(waitForState(runSwitch, ATSPI_STATE_CHECKED, false));
}

TEST_F(SettingsWindowEndToEndTest, TheOpenWindowFollowsTheSettingsFileAndTheAccessibilitySwitch)
{
    openWindow();
    Node snapToCancel = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Snap to the Cancel button instead", 20);
    ASSERT_TRUE(snapToCancel) << "the window did not open";
    ASSERT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora is not running", 4));
    EXPECT_FALSE(hasState(snapToCancel.get(), ATSPI_STATE_CHECKED));

    // A terminal's `velmora set` shows in the open window at once ...
    ASSERT_TRUE(runCommand({"set", "snapToAlternateButtonInstead", "true"}));
    EXPECT_TRUE(waitForState(snapToCancel, ATSPI_STATE_CHECKED, true, 2)) << "the window missed a change of the settings file";
    ASSERT_TRUE(runCommand({"set", "snapToAlternateButtonInstead", "false"}));
    EXPECT_TRUE(waitForState(snapToCancel, ATSPI_STATE_CHECKED, false, 2)) << "the window missed a second change";
    // ... and so does an ignored application added there.
    ASSERT_TRUE(runCommand({"ignore", "add", kSorterEntryId}));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing(kSorterName), 2)) << "the summary missed an ignored application";

    // Accessibility switched off elsewhere: the window says so ...
    constexpr const char* kOffPanel = "Support for assistive technologies is off";
    ASSERT_TRUE(switchAccessibility(false));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing(kOffPanel), 2)) << "the window did not see accessibility go";
    screenshot("accessibility-switched-off-elsewhere");
    // ... and the panel goes within about a second of it coming back.
    ASSERT_TRUE(switchAccessibility(true));
    const gint64 back = g_get_monotonic_time();
    EXPECT_TRUE(absent(containing(kOffPanel), 3)) << "the panel stayed after accessibility came back";
    EXPECT_LT(static_cast<double>(g_get_monotonic_time() - back) / G_USEC_PER_SEC, 1.5);
    screenshot("accessibility-back-on");
}

TEST_F(SettingsWindowEndToEndTest, SoundsReadAsWordsInGroupsInAListOfAFewRows)
{
    ASSERT_TRUE(runCommand({"set", "playsSoundOnMove", "true"}));
    openWindow();
    Node runSwitch = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Run Velmora", 20);
    ASSERT_TRUE(runSwitch) << "the window did not open";
    ASSERT_TRUE(waitForState(runSwitch, ATSPI_STATE_SENSITIVE, true));
    ASSERT_TRUE(press(runSwitch));
    Node sound = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Sound");
    ASSERT_TRUE(sound);
    ASSERT_TRUE(waitForState(sound, ATSPI_STATE_SENSITIVE, true, 20)) << "the agent did not start";
    ASSERT_TRUE(press(sound));

    // Velmora's own under one heading, the theme's under another, as words.
    ASSERT_TRUE(waitFor(ATSPI_ROLE_TABLE_CELL, "Velmora's sounds")) << "no list of sounds";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_TABLE_CELL, "Desktop sound theme", 2));
    Node unplug = waitFor(ATSPI_ROLE_TABLE_CELL, "Power unplug", 2);
    ASSERT_TRUE(unplug) << "a theme sound is missing or not readable";
    EXPECT_FALSE(waitFor(ATSPI_ROLE_TABLE_CELL, "power-unplug", 0.5)) << "raw theme ids are shown";
    Node list = waitFor(ATSPI_ROLE_TABLE, "Sounds", 2);
    ASSERT_TRUE(list);
    AtspiComponent* component = atspi_accessible_get_component_iface(list.get());
    ASSERT_TRUE(component);
    AtspiRect* extents = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
    ASSERT_TRUE(extents);
    EXPECT_GT(extents->height, 100) << "the list shows hardly a row";
    EXPECT_LT(extents->height, 400) << "the list is as tall as the screen";
    g_free(extents);
    screenshot("sound-list");

    g_object_unref(component);

    // Typing a readable name picks it, and stores the sound's own name.
    typeText(m_display, "power unp");
    std::string stored;
    EXPECT_TRUE(pumpUntil([&] { return runCommand({"get", "feedbackSoundName"}, &stored) && stored.find("power-unplug") != std::string::npos; }, 5))
        << "stored: " << stored;
}

TEST_F(SettingsWindowEndToEndTest, LayoutAccessibilityPanelAndTestButtonReadAsIntended)
{
    openWindow();
    Node frame = waitFor(ATSPI_ROLE_FRAME, "Velmora", 20);
    ASSERT_TRUE(frame) << "the window did not open";
    Node runSwitch = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Run Velmora");
    Node snapToCancel = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Snap to the Cancel button instead");
    ASSERT_TRUE(runSwitch && snapToCancel);
    EXPECT_EQ(extentsOf(runSwitch).x, extentsOf(snapToCancel).x) << "the run switch is out of line with the others";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, [](const std::string& name) { return name.rfind("Ignored: ", 0) == 0; }, 2))
        << "the ignored applications' summary has no label";

    // The test button draws the eye in the theme's colours, not in red.
    Node test = waitFor(ATSPI_ROLE_PUSH_BUTTON, "Test Dialog");
    ASSERT_TRUE(test);
    for (int frame = 0; frame < 10; ++frame) {
        pumpFor(0.1);
        EXPECT_EQ(reddishPixels(extentsOf(test)), 0) << "the test button reads as an error";
    }

    // Accessibility off: a sentence, not commands; the window keeps its width
    // and grows by a line or two, not a paragraph.
    const int width = extentsOf(frame).width;
    const int height = extentsOf(frame).height;
    ASSERT_TRUE(switchAccessibility(false));
    Node panel = waitFor(ATSPI_ROLE_LABEL, containing("assistive technologies"), 3);
    ASSERT_TRUE(panel);
    EXPECT_EQ(nameOf(panel.get()).find("gdbus"), std::string::npos);
    pumpFor(0.3);
    EXPECT_LE(extentsOf(frame).width, width) << "the window grew wider for the panel";
    EXPECT_LE(extentsOf(frame).height, height + 60) << "the panel takes a paragraph";
    screenshot("accessibility-off");
    // No desktop panel here: the button says so instead of doing nothing.
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Open Accessibility Settings")));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing("no accessibility settings"), 3)) << "the button did nothing visible";
    screenshot("no-accessibility-settings-panel");
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "OK")));
    ASSERT_TRUE(switchAccessibility(true));

    // The feedback window: contact details are left out until asked for.
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Send Feedback…")));
    // No server in the test desktop: the alert about it wraps its sentence.
    Node unreachable = findOnDesktop(ATSPI_ROLE_DIALOG, "The feedback server cannot be reached", 10);
    ASSERT_TRUE(unreachable);
    EXPECT_LT(extentsOf(unreachable).width, 600) << "the alert is one long line";
    screenshot("feedback-server-unreachable");
    ASSERT_TRUE(press(findOnDesktop(ATSPI_ROLE_PUSH_BUTTON, "Proceed Anyway", 5)));
    Node contact = waitFor(ATSPI_ROLE_CHECK_BOX, "Include my name and e-mail address", 10);
    screenshot("feedback");
    ASSERT_TRUE(contact) << "no feedback window";
    EXPECT_FALSE(hasState(contact.get(), ATSPI_STATE_CHECKED)) << "contact details are sent unless unticked";
}

TEST_F(SettingsWindowEndToEndTest, AnEmptyIgnoredListSaysHowToFillIt)
{
    // Not even the built-in entries are installed.
    openWindowWithoutApplications();
    Node runSwitch = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Run Velmora", 20);
    ASSERT_TRUE(runSwitch) << "the window did not open";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Ignored: none", 2));
    ASSERT_TRUE(waitForState(runSwitch, ATSPI_STATE_SENSITIVE, true));
    ASSERT_TRUE(press(runSwitch));
    Node ignoredButton = waitFor(ATSPI_ROLE_PUSH_BUTTON, "Ignored Applications…");
    ASSERT_TRUE(waitForState(ignoredButton, ATSPI_STATE_SENSITIVE, true, 20)) << "the agent did not start";
    ASSERT_TRUE(press(ignoredButton));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing("No applications are ignored"), 5)) << "the empty list has no placeholder";
    screenshot("ignored-applications-empty");
}

TEST_F(SettingsWindowEndToEndTest, UnderAGermanLocaleTheWindowIsGerman)
{
    // C.UTF-8 is there without generating a locale and, unlike C, lets
    // LANGUAGE pick the catalogue: the build folder's, compiled from de.po.
    openWindow({{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "de"}});
    Node runSwitch = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Velmora ausführen", 20);
    ASSERT_TRUE(runSwitch) << "no German run switch";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora läuft nicht", 4));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Stattdessen auf den Abbrechen-Knopf springen"));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Ignorierte Anwendungen …"));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Hilfe"));
    screenshot("german");
}

TEST_F(SettingsWindowEndToEndTest, EscapeControlWAndControlQCloseTheWindow)
{
    for (KeySym key : {XK_Escape, XK_w, XK_q}) {
        openWindow();
        ASSERT_TRUE(waitFor(ATSPI_ROLE_FRAME, "Velmora", 20)) << "the window did not open";
        activate(m_display, m_window);
        ASSERT_TRUE(pumpUntil([&] { return activePid(m_display) == m_window; }, 10));
        // The keyboard focus follows the activation a moment later.
        pumpFor(0.3);
        if (key == XK_Escape)
            pressKeys(m_display, {}, key);
        else
            pressKeys(m_display, {XK_Control_L}, key);
        EXPECT_TRUE(windowEnds(5)) << XKeysymToString(key) << " left the window open";
        if (m_window > 0) {
            kill(m_window, SIGKILL);
            waitpid(m_window, nullptr, 0);
            m_window = 0;
        }
    }
}

TEST_F(SettingsWindowEndToEndTest, OnWaylandSnapBackIsGreyedWithTheReason)
{
    openWindow({{"XDG_SESSION_TYPE", "wayland"}});
    ASSERT_TRUE(waitFor(ATSPI_ROLE_FRAME, "Velmora", 20)) << "the window did not open";
    Node runSwitch = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Run Velmora");
    ASSERT_TRUE(press(runSwitch));
    // With the agent running every other setting can be changed ...
    Node snapToCancel = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Snap to the Cancel button instead");
    ASSERT_TRUE(waitForState(snapToCancel, ATSPI_STATE_SENSITIVE, true, 20));
    // ... but not this one, and the window says why.
    Node snapBack = waitFor(ATSPI_ROLE_TOGGLE_BUTTON, "Snap back after the dialog closes");
    ASSERT_TRUE(snapBack);
    EXPECT_FALSE(hasState(snapBack.get(), ATSPI_STATE_SENSITIVE));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing("does not let programs see where the pointer is")));
    screenshot("snap-back-on-wayland");
}

TEST_F(SettingsWindowEndToEndTest, OnKdeWaylandTheWindowSaysWhyKWinWillNotLetTheAgentMoveThePointer)
{
    // No desktop entry lets the build's agent use KWin's fake-input (the
    // system's can only name the installed one).
    openWindow({{"XDG_SESSION_TYPE", "wayland"}, {"XDG_CURRENT_DESKTOP", "KDE"},
                {"XDG_DATA_HOME", (m_config / "no-data").string()}});
    ASSERT_TRUE(waitFor(ATSPI_ROLE_FRAME, "Velmora", 20)) << "the window did not open";
    Node reason = waitFor(ATSPI_ROLE_LABEL, containing("KWin will not let Velmora move the pointer"), 10);
    ASSERT_TRUE(reason);
    EXPECT_NE(nameOf(reason.get()).find("/VelmoraBG use KWin's fake-input interface"), std::string::npos)
        << nameOf(reason.get());
    screenshot("kwin-refuses-the-agent");
}

TEST_F(SettingsWindowEndToEndTest, HelpOpensTheUserGuideWithTheDesktopsBrowser)
{
    // A browser of our own, set as the desktop's default for web pages; it
    // writes down what it was asked to open.
    const fs::path data = m_config / "data";
    const fs::path opened = m_config / "opened";
    fs::create_directories(data / "applications");
    std::ofstream(data / "applications" / "velmora-guide-reader.desktop")
        << "[Desktop Entry]\nType=Application\nName=Guide Reader\nMimeType=text/html;\n"
           "Exec=sh -c 'echo \"$1\" > " << opened.string() << "' sh %f\n";
    std::ofstream(m_config / "mimeapps.list") << "[Default Applications]\ntext/html=velmora-guide-reader.desktop\n";
    openWindow({{"XDG_DATA_HOME", data.string()}});
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Help", 20))) << "the window did not open";
    ASSERT_TRUE(pumpUntil([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }, 10)) << "Help opened nothing";
    std::ifstream in(opened);
    std::string page;
    std::getline(in, page);
    EXPECT_EQ(fs::path(page).filename(), "user-guide.html");
    std::ifstream guide(page);
    std::stringstream text;
    text << guide.rdbuf();
    // What it does, how to use it, where the settings live.
    for (const char* heading : {"What Velmora does", "How to use it", "Where settings live"})
        EXPECT_NE(text.str().find(heading), std::string::npos) << heading;
}

TEST_F(SettingsWindowEndToEndTest, HelpAndWebSiteSayWhereToGoWhenNothingCanOpenThem)
{
    // No viewer, no browser.
    openWindowWithoutApplications();
    ASSERT_TRUE(waitFor(ATSPI_ROLE_FRAME, "Velmora", 20)) << "the window did not open";

    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Help")));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora could not open its user guide")) << "a failed Help said nothing";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing("user-guide.html"))) << "the notice does not say where the guide is";
    screenshot("help-without-a-viewer");
    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "OK")));
    EXPECT_TRUE(absent([](const std::string& name) { return name == "Velmora could not open its user guide"; }, 10))
        << "the notice stayed after OK";

    ASSERT_TRUE(press(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Web Site")));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, "Velmora could not open its web site"));
    EXPECT_TRUE(waitFor(ATSPI_ROLE_LABEL, containing("https://")));
}

TEST_F(SettingsWindowEndToEndTest, TheUpdateOfferComesOverAnotherProgramAndClosesWhenThatOneIsChosen)
{
    FeedServer server(m_config.path());
    ASSERT_TRUE(server.isReady());
    const fs::path resources = m_config / "resources";
    fs::create_directories(resources);
    for (const char* name : {"VelmoraBG-Info.plist", "HXFeedbackProvider.plist", "sounds"})
        fs::create_symlink(fs::path(DESKTOP_TESTS_DIR "/../../../resources") / name, resources / name);
    // The server offers 9.5.
    std::ofstream(resources / "Velmora-Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleName</key><string>Velmora</string><key>CFBundleVersion</key><string>1.0</string>"
           "<key>VLUpdateHost</key><string>" + server.tlsHost() + "/benign</string></dict></plist>\n";
    Program other({"zenity", "--info", "--title=Elsewhere", "--text=Another program"});
    openWindow({{"VELMORA_RESOURCES", resources.string()}, {"CURL_CA_BUNDLE", server.certificate()}});
    Node check = waitFor(ATSPI_ROLE_PUSH_BUTTON, "Check for Updates", 20);
    ASSERT_TRUE(check) << "the window did not open";

    // Someone turns to another program while the check runs.
    activate(m_display, other.pid());
    ASSERT_TRUE(pumpUntil([&] { return activePid(m_display) == other.pid(); }, 10));
    ASSERT_TRUE(press(check));
    constexpr const char* kOffer = "An updated version of Velmora is available!";
    ASSERT_TRUE(waitFor(ATSPI_ROLE_LABEL, kOffer, 30)) << "no offer";
    EXPECT_TRUE(pumpUntil([&] { return activePid(m_display) == m_window; }, 10)) << "the offer stayed behind the other program";
    screenshot("update-offer");

    // ... and back to it: the offer closes unanswered.
    activate(m_display, other.pid());
    EXPECT_TRUE(absent([&](const std::string& name) { return name == kOffer; }, 10))
        << "the offer stayed up";
    EXPECT_TRUE(waitFor(ATSPI_ROLE_PUSH_BUTTON, "Check for Updates")) << "the window went with it";
}

} // namespace
} // namespace velmora::linux_desktop::testing
