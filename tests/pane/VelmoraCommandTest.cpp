#include "pane/CommandScene.h"
#include "agent/snapping/AppTracker.h"
#include "pane/VelmoraCommand.h"
#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimRunLoop.h"
#include "shared/loginitems/AutostartSynchronizer.h"
#include "shared/process/AgentExitStatus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <sstream>
#include <sys/wait.h>

using namespace velmora;

namespace {

class VelmoraCommandTest : public scenes::CommandScene {
protected:
    static constexpr const char* kAgentPath = "/opt/velmora/bin/VelmoraBG";

    VelmoraCommandTest()
    {
        desktop.setProgramPath("/opt/velmora/bin/velmora");
        desktop.addFile(kAgentPath);
        desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", AgentController(AgentController::Services::of(desktop)).currentVersionString()}}, kDomain);
    }
};

TEST_F(VelmoraCommandTest, BadInputIsRefusedAndNothingIsWritten)
{
    const auto before = storedDomain();
    struct Case {
        std::vector<std::string> arguments;
        std::string mentions;
    };
    const std::vector<Case> cases{
        {{"set", "snapToAlternateButtonInstead", "maybe"}, "\"snapToAlternateButtonInstead\" expects a boolean (true/false, yes/no, on/off or 1/0)"},
        {{"set", "playsSoundOnMove", "2"}, "\"playsSoundOnMove\" expects a boolean"},
        {{"set", "feedbackSoundVolume", "loud"}, "\"feedbackSoundVolume\" expects a number"},
        {{"set", "feedbackSoundVolume", "50"}, "\"feedbackSoundVolume\" expects a number from 0 to 1"},
        {{"set", "feedbackSoundVolume", "-0.5"}, "from 0 to 1"},
        {{"set", "feedbackSoundName", "Botle"}, "no sound named \"Botle\"; the sounds are Bottle, "},
        {{"set", "SoundToPlayIndex", "2.5"}, "\"SoundToPlayIndex\" expects an integer"},
        {{"set", "snapToAlternateButton", "true"}, "\"snapToAlternateButton\" is not a key"},
        {{"get", "QK.velmora.snapback"}, "\"QK.velmora.snapback\" is not a key"},
        {{"set", "playsSoundOnMove"}, "VALUE"},
        {{"ignore"}, "subcommand"},
        {{"frobnicate"}, "frobnicate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + (c.arguments.size() > 1 ? c.arguments[1] : ""));
        EXPECT_EQ(velmora(c.arguments), VelmoraCommand::kExitUsage);
        EXPECT_NE(errors.find(c.mentions), std::string::npos) << errors;
        EXPECT_EQ(output, "");
    }
    EXPECT_EQ(storedDomain(), before);
    EXPECT_EQ(reloadOrders(), 0);
}

TEST_F(VelmoraCommandTest, SetTakesTheWindowsPathOneWriteOneReloadOrder)
{
    EXPECT_EQ(velmora({"set", "snapToAlternateButtonInstead", "true"}), 0);
    EXPECT_EQ(stored("snapToAlternateButtonInstead"), Value(1)) << "stored as the switch in the window stores it";
    EXPECT_EQ(reloadOrders(), 1);
    EXPECT_EQ(velmora({"get", "snapToAlternateButtonInstead"}), 0);
    EXPECT_EQ(output, "true\n");

    EXPECT_EQ(velmora({"set", "snapToAlternateButtonInstead", "0"}), 0);
    EXPECT_EQ(stored("snapToAlternateButtonInstead"), Value(0));
    EXPECT_EQ(velmora({"set", "feedbackSoundVolume", "1"}), 0) << errors;
    EXPECT_EQ(velmora({"set", "feedbackSoundVolume", "0.5"}), 0);
    EXPECT_EQ(velmora({"get", "feedbackSoundVolume"}), 0);
    EXPECT_EQ(output, "0.5\n");
    EXPECT_EQ(velmora({"set", "feedbackSoundName", "Glass"}), 0) << errors;
    EXPECT_EQ(stored("feedbackSoundName"), Value("Glass"));
    EXPECT_EQ(velmora({"set", "QK.velmora.ignoredApps", "a.b.C, d.e.F"}), 0);
    EXPECT_EQ(velmora({"get", "QK.velmora.ignoredApps"}), 0);
    EXPECT_EQ(output, "a.b.C\nd.e.F\n");
    EXPECT_EQ(reloadOrders(), 6) << "one reload order for each of the six writes";
}

TEST_F(VelmoraCommandTest, BooleansTakeTheUsualWordsAndTheVersionIsVelmorasOwn)
{
    // A flag is stored as 1 or 0, a boolean as true or false.
    for (const auto& [key, word, expected] : std::vector<std::tuple<std::string, std::string, Value>>{
             {"playsSoundOnMove", "yes", Value(1)}, {"playsSoundOnMove", "Off", Value(0)},
             {"shouldCheckForUpdatesDaily", "ON", Value(true)}, {"shouldCheckForUpdatesDaily", "no", Value(false)}}) {
        EXPECT_EQ(velmora({"set", key, word}), 0) << errors;
        EXPECT_EQ(stored(key), expected) << key << " " << word;
    }
    EXPECT_EQ(velmora({"get", "shouldCheckForUpdatesDaily"}), 0);
    EXPECT_EQ(output, "false\n");
    const int reloads = reloadOrders();

    // Written by hand it would make the next start take these settings for
    // another version's; reading it stays allowed.
    const auto before = storedDomain();
    EXPECT_EQ(velmora({"set", "currentVersion", "9.9"}), VelmoraCommand::kExitRefused);
    EXPECT_NE(errors.find("\"currentVersion\" is kept by Velmora itself"), std::string::npos) << errors;
    EXPECT_EQ(output, "");
    EXPECT_EQ(storedDomain(), before);
    EXPECT_EQ(reloadOrders(), reloads);
    EXPECT_EQ(velmora({"get", "currentVersion"}), 0);
    EXPECT_EQ(output, AgentController(AgentController::Services::of(desktop)).currentVersionString() + "\n");
}

TEST_F(VelmoraCommandTest, AFirstGetStoresTheDefault)
{
    EXPECT_EQ(velmora({"get", "feedbackSoundName"}), 0);
    EXPECT_EQ(output, "Bottle\n");
    EXPECT_EQ(stored("feedbackSoundName"), Value("Bottle"));
    EXPECT_EQ(velmora({"get", "QK.velmora.snapbackCursor"}), 0);
    EXPECT_EQ(output, "false\n");
    EXPECT_EQ(reloadOrders(), 2);
    // Keys without a default stay absent.
    EXPECT_EQ(velmora({"get", "ignoredApps"}), 0);
    EXPECT_EQ(output, "");
    EXPECT_TRUE(stored("ignoredApps").isNull());
}

TEST_F(VelmoraCommandTest, StatusAnswersFromTheBusAndChangesNothing)
{
    // No agent: the bus says so at once; no settings file is made.
    desktop.standardUserDefaults().removePersistentDomainForName(kDomain);
    const double asked = desktop.now();
    EXPECT_EQ(velmora({"status"}), VelmoraCommand::kExitNotRunning);
    EXPECT_EQ(output, "not running\n");
    EXPECT_LT(desktop.now() - asked, 0.05);
    EXPECT_FALSE(storedDomain());

    // An agent of another version, and a file that says yet another: a query
    // stops neither, and writes nothing.
    desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", "0.8"}}, kDomain);
    startAgent("0.9");
    EXPECT_EQ(velmora({"status"}), 0);
    EXPECT_EQ(output, "running\n");
    desktop.advance(1);
    EXPECT_FALSE(desktop.terminated());
    EXPECT_EQ(stored("currentVersion"), Value("0.8"));
    EXPECT_TRUE(desktop.agentOrdersSent().empty());

    // The file gone under a running agent is no version change either.
    agents.clear();
    startAgent();
    desktop.standardUserDefaults().removePersistentDomainForName(kDomain);
    EXPECT_EQ(velmora({"status"}), 0);
    EXPECT_FALSE(desktop.terminated());
}

TEST_F(VelmoraCommandTest, StartLaunchesAddsTheLoginItemAndWaitsForTheAnnouncement)
{
    agentStartsWhenLaunched(0.8);
    EXPECT_EQ(velmora({"start"}), 0) << errors;
    EXPECT_EQ(output, "running\n");
    EXPECT_EQ(desktop.paneServices().launches(), (std::vector<std::string>{kAgentPath}));
    EXPECT_TRUE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));
    EXPECT_EQ(velmora({"status"}), 0);

    EXPECT_EQ(velmora({"start"}), 0);
    EXPECT_EQ(desktop.paneServices().launches().size(), 1u) << "a running agent is not launched again";

    EXPECT_EQ(velmora({"stop"}), 0) << errors;
    EXPECT_EQ(output, "not running\n");
    EXPECT_TRUE(desktop.terminated());
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));
}

TEST_F(VelmoraCommandTest, StartSaysWhenTheLoginItemStartsAnAgentInABuildFolder)
{
    agentStartsWhenLaunched(0.2);
    EXPECT_EQ(velmora({"start"}), 0) << errors;
    EXPECT_EQ(errors, "") << "an installed agent needs no word";
    EXPECT_EQ(velmora({"stop"}), 0) << errors;

    desktop.addFile("/opt/velmora/bin/CMakeCache.txt");
    agentStartsWhenLaunched(0.2);
    EXPECT_EQ(velmora({"start"}), 0) << errors;
    EXPECT_EQ(output, "running\n") << "the warning stays off standard output, which scripts read";
    EXPECT_NE(errors.find("build folder /opt/velmora/bin, which stops working once that folder is moved or deleted"),
        std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_TRUE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));

    // A start on the running agent adds a missing login item: the same word.
    EXPECT_EQ(velmora({"start"}), 0);
    EXPECT_NE(errors.find("build folder"), std::string::npos) << errors;
}

TEST_F(VelmoraCommandTest, StartIsRefusedWithoutAccessibilityOrAnAgent)
{
    agentStartsWhenLaunched();
    desktop.setAPIEnabled(false);
    EXPECT_EQ(velmora({"start"}), VelmoraCommand::kExitRefused);
    EXPECT_NE(errors.find("accessibility is switched off"), std::string::npos) << errors;
    EXPECT_TRUE(desktop.paneServices().launches().empty());
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));

    // There, but it does not run.
    desktop.setAPIEnabled(true);
    desktop.paneServices().setLaunchHandler([](const std::string&) { return false; });
    EXPECT_EQ(velmora({"start"}), VelmoraCommand::kExitRefused);
    EXPECT_NE(errors.find("could not start the agent"), std::string::npos) << errors;
    EXPECT_EQ(output, "");
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));

    desktop.removeFile(kAgentPath);
    const size_t launches = desktop.paneServices().launches().size();
    EXPECT_EQ(velmora({"start"}), VelmoraCommand::kExitRefused);
    EXPECT_NE(errors.find(kAgentPath), std::string::npos) << errors;
    EXPECT_EQ(desktop.paneServices().launches().size(), launches);
}

TEST_F(VelmoraCommandTest, AnAgentThatNeverAnswersEndsTheWaitWithAnErrorAndNoLoginItem)
{
    desktop.paneServices().setLaunchHandler([](const std::string&) { return true; });
    const double started = desktop.now();
    EXPECT_EQ(velmora({"start"}), VelmoraCommand::kExitNoAnswer);
    EXPECT_NE(errors.find("did not announce itself"), std::string::npos) << errors;
    EXPECT_LT(desktop.now() - started, AgentClient::kStatusTimeout + VelmoraCommand::kAgentAnswerTimeout + 0.1);
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));

    // It comes up after all: the next start finds it running and adds its login item.
    startAgent();
    EXPECT_EQ(velmora({"start"}), 0) << errors;
    EXPECT_TRUE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));
}

TEST_F(VelmoraCommandTest, AnAgentThatEndsBeforeItsAnnouncementEndsTheWaitWithItsReason)
{
    desktop.paneServices().setLaunchHandler([this](const std::string&) {
        desktop.simRunLoop().post(0.2, [this] { desktop.paneServices().endLastLaunched(W_EXITCODE(AgentExitStatus::kNoDisplay, 0)); });
        return true;
    });
    const double started = desktop.now();
    EXPECT_EQ(velmora({"start"}), VelmoraCommand::kExitAgentEnded);
    EXPECT_NE(errors.find("could not start watching: it found no X display"), std::string::npos) << errors;
    EXPECT_EQ(output, "");
    EXPECT_LT(desktop.now() - started, AgentClient::kStatusTimeout + 0.5) << "no waiting out the time-out";
    EXPECT_FALSE(AutostartSynchronizer::of(desktop).launchesAtLogin(kAgentPath));
}

TEST_F(VelmoraCommandTest, IgnoreFollowsTheEditorsRules)
{
    auto& finder = desktop.applicationFinder();
    finder.install("/usr/share/applications/v2c.desktop", "V2C", "org.v2c.V2C");
    finder.install("/usr/share/applications/org.gnome.TextEditor.desktop", "Text Editor", "org.gnome.TextEditor");

    EXPECT_EQ(velmora({"ignore", "add", "Text Editor"}), 0) << errors;
    EXPECT_EQ(stored("ignoredApps"), Value(Value::Array{"org.gnome.TextEditor"}));
    EXPECT_EQ(velmora({"ignore", "add", "org.gnome.TextEditor"}), 0);
    EXPECT_NE(output.find("already ignored"), std::string::npos);
    EXPECT_EQ(reloadOrders(), 1);
    EXPECT_EQ(velmora({"ignore", "add", "Paint"}), VelmoraCommand::kExitRefused);

    // Built-in entries without an application are on the list all the same.
    EXPECT_EQ(velmora({"ignore", "list"}), 0);
    EXPECT_EQ(output, "Text Editor\torg.gnome.TextEditor\tuser\nV2C\tV2C\tbuilt-in\n"
                      "Moneydance\tMoneydance\tbuilt-in\nAddress Book\tAddress Book\tbuilt-in\n");

    EXPECT_EQ(velmora({"ignore", "remove", "V2C"}), VelmoraCommand::kExitRefused);
    EXPECT_NE(errors.find("known to not work well with Velmora"), std::string::npos) << errors;
    EXPECT_EQ(velmora({"ignore", "remove", "text editor"}), 0) << errors;
    EXPECT_EQ(stored("ignoredApps"), Value(Value::Array{}));
    EXPECT_EQ(velmora({"ignore", "remove", "Text Editor"}), VelmoraCommand::kExitRefused);

    // An application removed from the machine since: listed, and removable.
    // A built-in entry the agent stored is listed once, as built in.
    EXPECT_EQ(velmora({"set", "QK.velmora.ignoredApps", "org.gone.App, Moneydance"}), 0);
    EXPECT_EQ(velmora({"ignore", "list"}), 0);
    EXPECT_EQ(output, "V2C\tV2C\tbuilt-in\nMoneydance\tMoneydance\tbuilt-in\nAddress Book\tAddress Book\tbuilt-in\n"
                      "org.gone.App\torg.gone.App\tnot installed\n");
    EXPECT_EQ(velmora({"ignore", "remove", "org.gone.App"}), 0) << errors;
    EXPECT_EQ(stored("QK.velmora.ignoredApps"), Value(Value::Array{"Moneydance"}));
    EXPECT_EQ(velmora({"ignore", "remove", "org.gone.App"}), VelmoraCommand::kExitRefused);
}

// The agent writes its built-in entries into the stored list at start; the
// list command shows every stored entry, whether installed or not.
TEST_F(VelmoraCommandTest, IgnoreListShowsEveryEntryGetShows)
{
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.TextEditor.desktop", "Text Editor", "org.gnome.TextEditor");
    EXPECT_EQ(velmora({"ignore", "add", "Text Editor"}), 0) << errors;
    EXPECT_EQ(velmora({"set", "QK.velmora.ignoredApps", "org.gone.App"}), 0);
    AppTracker tracker{desktop};
    desktop.runPending();

    std::set<std::string> stored;
    for (const char* key : {"ignoredApps", "QK.velmora.ignoredApps"}) {
        EXPECT_EQ(velmora({"get", key}), 0);
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);)
            stored.insert(line);
    }
    ASSERT_TRUE(stored.contains("Moneydance")) << "the agent wrote its built-in entries";

    EXPECT_EQ(velmora({"ignore", "list"}), 0);
    std::set<std::string> listed;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        const auto first = line.find('\t');
        const auto second = line.find('\t', first + 1);
        ASSERT_NE(second, std::string::npos) << line;
        const std::string entry = line.substr(first + 1, second - first - 1);
        EXPECT_TRUE(listed.insert(entry).second) << entry << " listed twice";
        const bool builtIn = entry == "Moneydance" || entry == "V2C" || entry == "Address Book";
        EXPECT_EQ(line.substr(second + 1), builtIn ? "built-in" : entry == "org.gone.App" ? "not installed" : "user") << line;
    }
    EXPECT_EQ(listed, stored);
}

TEST_F(VelmoraCommandTest, AFailedWriteIsAnErrorAndOrdersNoReload)
{
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.TextEditor.desktop", "Text Editor", "org.gnome.TextEditor");
    EXPECT_EQ(velmora({"ignore", "add", "Text Editor"}), 0);
    const int reloads = reloadOrders();
    auto& store = dynamic_cast<sim::MemorySettingsStore&>(desktop.domainStore());
    store.setWritesFail(true);
    const std::vector<std::vector<std::string>> writes{
        {"set", "playsSoundOnMove", "true"},
        {"ignore", "add", "org.v2c.V2C"},
        {"ignore", "remove", "Text Editor"},
    };
    desktop.applicationFinder().install("/usr/share/applications/v2c.desktop", "V2C", "org.v2c.V2C");
    for (const auto& write : writes) {
        SCOPED_TRACE(write[0] + " " + write[1]);
        EXPECT_EQ(velmora(write), VelmoraCommand::kExitNotWritten);
        EXPECT_NE(errors.find("could not be written; nothing changed"), std::string::npos) << errors;
        EXPECT_EQ(output, "") << "no success is reported";
    }
    EXPECT_EQ(reloadOrders(), reloads);
    store.setWritesFail(false);
    EXPECT_EQ(velmora({"get", "playsSoundOnMove"}), 0);
    EXPECT_EQ(output, "false\n");
    EXPECT_EQ(stored("ignoredApps"), Value(Value::Array{"org.gnome.TextEditor"}));
}

// The command against a running agent's tracker: a setting is re-read before
// the next dialog, and the ignored list is rebuilt.
TEST_F(VelmoraCommandTest, ChangesReachARunningAgentBeforeItsNextSnap)
{
    const std::string editorPath = "/usr/share/applications/org.gnome.TextEditor.desktop";
    auto& editor = desktop.addRunningApp("Text Editor", "org.gnome.TextEditor", editorPath);
    auto& files = desktop.addRunningApp("Files", "org.gnome.Files", "/usr/share/applications/org.gnome.Files.desktop");
    desktop.applicationFinder().install(editorPath, "Text Editor", "org.gnome.TextEditor");
    AppTracker tracker{desktop};
    startAgent();
    desktop.runPending();
    ASSERT_TRUE(tracker.observers().contains(editor.info.pid));

    EXPECT_EQ(velmora({"set", "snapToAlternateButtonInstead", "true"}), 0);
    desktop.activate(files);
    auto dialog = files.addDialog("Replace?");
    desktop.focusWindow(files, dialog, true);
    desktop.advance(1);
    ASSERT_EQ(desktop.pointerMoves().size(), 1u);
    const Point at = desktop.pointer().location();
    auto cancel = dialog->children().front();
    ASSERT_EQ(cancel->attribute("AXTitle"), AttributeValue("Cancel"));
    EXPECT_GE(at.x, cancel->position().x);
    EXPECT_LE(at.x, cancel->position().x + cancel->size().width);
    EXPECT_NEAR(at.y, cancel->position().y + cancel->size().height / 2, 1);
    desktop.closeWindow(files, dialog); // answered; the rebuild below would otherwise snap onto it anew

    EXPECT_EQ(velmora({"ignore", "add", "Text Editor"}), 0);
    EXPECT_FALSE(tracker.observers().contains(editor.info.pid));
    EXPECT_TRUE(tracker.observers().contains(files.info.pid));
    desktop.activate(editor);
    desktop.focusWindow(editor, editor.addDialog("Save?", {600, 400}), true);
    desktop.advance(1);
    EXPECT_EQ(desktop.pointerMoves().size(), 1u) << "an ignored application is left alone";

}

TEST_F(VelmoraCommandTest, HelpForEachCommandAndTheExitCodes)
{
    constexpr const char* kTableRow = "the settings file could not be written";
    auto occurrences = [](const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    };
    EXPECT_EQ(velmora({}), 0);
    EXPECT_EQ(occurrences(output, "Exit codes"), 1u) << output;
    EXPECT_EQ(occurrences(output, kTableRow), 1u) << output;
    EXPECT_EQ(output.find("__complete"), std::string::npos) << "the completion command is hidden";
    EXPECT_EQ(velmora({"--help"}), 0);
    EXPECT_EQ(occurrences(output, kTableRow), 1u) << output;

    for (const auto& command : std::vector<std::vector<std::string>>{
             {"status", "--help"}, {"get", "--help"}, {"set", "--help"}, {"ignore", "--help"}, {"ignore", "remove", "--help"}, {"check-for-updates", "--help"}}) {
        SCOPED_TRACE(command[command.size() - 2]);
        EXPECT_EQ(velmora(command), 0);
        EXPECT_NE(output.find(command[command.size() - 2]), std::string::npos) << output;
        EXPECT_EQ(output.find(kTableRow), std::string::npos) << "the table only once, at the top:\n" << output;
        EXPECT_NE(output.find("velmora --help"), std::string::npos) << "a pointer to it instead:\n" << output;
    }

    // Each key with its type; one that cannot be set is not offered as one.
    auto lineOf = [this](const std::string& key) {
        const auto at = output.find("\n  " + key + " ");
        return at == std::string::npos ? std::string() : output.substr(at + 1, output.find('\n', at + 1) - at - 1);
    };
    EXPECT_EQ(velmora({"get", "--help"}), 0);
    for (const auto& key : VelmoraPreferences::keys())
        EXPECT_NE(lineOf(key.name), "") << key.name << " in\n" << output;
    EXPECT_NE(lineOf("currentVersion").find("kept by Velmora itself"), std::string::npos) << output;
    EXPECT_EQ(velmora({"set", "--help"}), 0);
    for (const auto& [key, type] : std::vector<std::pair<std::string, std::string>>{{"playsSoundOnMove", "boolean"},
             {"QK.velmora.snapbackCursor", "boolean"}, {"shouldCheckForUpdatesDaily", "boolean"}, {"feedbackSoundVolume", "number from 0 to 1"},
             {"SoundToPlayIndex", "whole number"}, {"feedbackSoundName", "text"}, {"ignoredApps", "comma-separated list"}})
        EXPECT_NE(lineOf(key).find(type), std::string::npos) << key << " in\n" << output;
    EXPECT_EQ(lineOf("currentVersion"), "") << output;
    EXPECT_NE(output.find("yes/no, on/off"), std::string::npos) << output;
    EXPECT_TRUE(desktop.agentOrdersSent().empty());
}

// What completion offers, the command takes.
TEST_F(VelmoraCommandTest, CompletionWordsAreWhatTheCommandAccepts)
{
    auto lines = [this] {
        std::vector<std::string> words;
        std::istringstream text(output);
        for (std::string line; std::getline(text, line);)
            words.push_back(line);
        return words;
    };
    EXPECT_EQ(velmora({"__complete", "keys"}), 0);
    std::vector<std::string> names;
    for (const auto& key : VelmoraPreferences::keys())
        names.push_back(key.name);
    EXPECT_EQ(lines(), names);

    EXPECT_EQ(velmora({"__complete", "settable-keys"}), 0);
    const auto settable = lines();
    EXPECT_EQ(settable.size(), names.size() - 1);
    EXPECT_EQ(std::find(settable.begin(), settable.end(), "currentVersion"), settable.end());

    for (const auto& key : settable) {
        SCOPED_TRACE(key);
        EXPECT_EQ(velmora({"__complete", "values", key}), 0);
        const auto values = lines();
        const auto type = VelmoraPreferences::keyNamed(key)->type;
        const bool offersValues = type == PreferenceType::Boolean || type == PreferenceType::Flag || key == "feedbackSoundName";
        EXPECT_EQ(values.empty(), !offersValues);
        for (const auto& value : values)
            EXPECT_EQ(velmora({"set", key, value}), 0) << value << ": " << errors;
    }

    EXPECT_EQ(velmora({"__complete", "sounds"}), 0);
    const auto sounds = lines();
    EXPECT_NE(std::find(sounds.begin(), sounds.end(), "Bottle"), sounds.end());
    EXPECT_TRUE(std::is_sorted(sounds.begin(), sounds.end()));
    EXPECT_EQ(std::adjacent_find(sounds.begin(), sounds.end()), sounds.end()) << "each sound once";
    EXPECT_EQ(velmora({"__complete", "values", "feedbackSoundName"}), 0);
    EXPECT_EQ(lines(), sounds);

    // Only what `ignore remove` takes off: no built-in entry.
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.TextEditor.desktop", "Text Editor", "org.gnome.TextEditor");
    desktop.applicationFinder().install("/usr/share/applications/v2c.desktop", "V2C", "org.v2c.V2C");
    EXPECT_EQ(velmora({"ignore", "add", "Text Editor"}), 0);
    EXPECT_EQ(velmora({"set", "QK.velmora.ignoredApps", "org.gone.App, Moneydance"}), 0);
    EXPECT_EQ(velmora({"__complete", "ignored"}), 0);
    const auto entries = lines();
    EXPECT_EQ(entries, (std::vector<std::string>{"org.gnome.TextEditor", "org.gone.App"}));
    for (const auto& entry : entries)
        EXPECT_EQ(velmora({"ignore", "remove", entry}), 0) << entry << ": " << errors;
    EXPECT_EQ(velmora({"__complete", "ignored"}), 0);
    EXPECT_EQ(output, "");

    EXPECT_EQ(velmora({"__complete", "everything"}), VelmoraCommand::kExitUsage);
}

} // namespace

namespace {

// The installed program has no platform until a command needs one; then it
// asks for the real desktop and never falls back to another.
TEST(VelmoraCommandDesktopTest, ACommandRunsOnTheProvidedDesktopAndFailsClearlyWithoutOne)
{
    ASSERT_FALSE(Platform::isInstalled());
    std::ostringstream out, err;
    {
        int asked = 0;
        VelmoraCommand command(out, err);
        command.setDesktopProvider([&] {
            ++asked;
            return std::unique_ptr<Platform>();
        });
        EXPECT_EQ(command.run({"--help"}), VelmoraCommand::kExitSuccess);
        EXPECT_EQ(command.run({}), VelmoraCommand::kExitSuccess);
        EXPECT_EQ(command.run({"__complete", "keys"}), VelmoraCommand::kExitSuccess);
        EXPECT_EQ(command.run({"__complete", "sounds"}), VelmoraCommand::kExitSuccess);
        out.str("");
        EXPECT_EQ(command.run({"--version"}), VelmoraCommand::kExitSuccess);
        EXPECT_EQ(out.str(), "velmora " VELMORA_VERSION "\n");
        EXPECT_EQ(asked, 0) << "help, usage, the version and completion of keys need no desktop";
        EXPECT_EQ(command.run({"__complete", "ignored"}), VelmoraCommand::kExitNoDesktop);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(command.run({"set", "playsSoundOnMove", "true"}), VelmoraCommand::kExitNoDesktop);
        EXPECT_EQ(asked, 2);
        EXPECT_NE(err.str().find("no desktop session"), std::string::npos) << err.str();
    }
    EXPECT_FALSE(Platform::isInstalled());

    sim::SimDesktop* provided = nullptr;
    {
        VelmoraCommand command(out, err);
        command.setDesktopProvider([&] {
            auto desktop = std::make_unique<sim::SimDesktop>();
            provided = desktop.get();
            return desktop;
        });
        EXPECT_EQ(command.run({"set", "playsSoundOnMove", "true"}), VelmoraCommand::kExitSuccess);
        ASSERT_TRUE(provided);
        ASSERT_TRUE(Platform::isInstalled());
        EXPECT_EQ(&Platform::current(), provided);
        auto domain = provided->standardUserDefaults().persistentDomainForName("com.brightfen.velmora");
        ASSERT_TRUE(domain);
        EXPECT_EQ(valueForKey(*domain, "playsSoundOnMove").integerValue(), 1);
    }
    EXPECT_FALSE(Platform::isInstalled()) << "the desktop goes with the command";
}

} // namespace
