#include "pane/VelmoraCommand.h"

#include "shared/i18n/CommandLineWords.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/CheckForUpdatesCommand.h"

#include "pane/SoundList.h"
#include "platform/Platform.h"
#include "shared/loginitems/AutostartSynchronizer.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <strings.h>
#include <utility>

namespace velmora {

namespace {

using Table = IgnoredApplicationsController;

constexpr const char* kExitCodesText = N_(
    "Exit codes:\n"
    "  0  success; for status: the agent is running\n"
    "  1  status: the agent is not running\n"
    "  2  bad arguments, an unknown key, a value of the wrong type, or text the settings file cannot hold\n"
    "     (not UTF-8, control characters); nothing is written\n"
    "  3  refused: accessibility is off, the desktop toolkit is missing or too old, no such application,\n"
    "     a built-in entry of the ignored list, or a setting Velmora keeps itself (currentVersion)\n"
    "  4  the agent did not answer in time\n"
    "  5  no desktop session: no session bus to reach the agent and the settings on,\n"
    "     or (velmora alone) no display to open the settings window on\n"
    "  6  the settings file could not be written (a read-only or full disk); nothing changed\n"
    "  7  start: the agent ended before it started watching (no X display, no session bus,\n"
    "     no accessibility bus; the message says which); it is not started at login\n"
    "  10 check-for-updates: a newer version exists (1 when the check failed)\n");

// A command's own help points at the table rather than repeating it.
constexpr const char* kExitCodesPointer = N_("Exit codes: see velmora --help.");

// What the hidden completion command lists; see the README.
constexpr const char* kCompleteCommand = "__complete";
constexpr const char* kCompleteKeys = "keys";
constexpr const char* kCompleteSettableKeys = "settable-keys";
constexpr const char* kCompleteValues = "values";
constexpr const char* kCompleteSounds = "sounds";
constexpr const char* kCompleteIgnored = "ignored";

// What each key does, for `get --help` and `set --help`; its type comes
// from the domain's table, so the two cannot disagree.
constexpr std::pair<const char*, const char*> kKeyMeanings[] = {
    {VelmoraPreferences::kFeedbackSoundVolume, N_("how loud the sound is")},
    {VelmoraPreferences::kFeedbackSoundName, N_("the sound's name, one the settings window lists")},
    {VelmoraPreferences::kShouldCheckForUpdatesDaily, N_("look for a newer version once a day")},
    {VelmoraPreferences::kSnapbackCursor, N_("put the pointer back after the dialog is answered")},
    {VelmoraPreferences::kPlaysSoundOnMove, N_("a sound marks each move")},
    {VelmoraPreferences::kSnapToAlternateButtonInstead, N_("the cancel button instead of the default one")},
    {VelmoraPreferences::kSoundToPlayIndex, N_("unused: feedbackSoundName names the sound")},
    {VelmoraPreferences::kIgnoredApps, N_("the ignored applications (velmora ignore edits it)")},
    {VelmoraPreferences::kOldIgnoredApps, N_("the older ignored list, merged into ignoredApps")},
    {VelmoraPreferences::kCurrentVersion, N_("the version that last wrote the settings; kept by Velmora itself")},
};

constexpr const char* kBooleanWords[] = {"true", "false", "yes", "no", "on", "off"};

std::string formatValue(PreferenceType type, const Value& value)
{
    switch (type) {
    case PreferenceType::Real: {
        char buffer[32];
        auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value.doubleValue()));
        return error == std::errc() ? std::string(buffer, end) : value.description();
    }
    case PreferenceType::Boolean:
    case PreferenceType::Flag:
        return value.boolValue() ? "true" : "false";
    case PreferenceType::Integer:
        return std::to_string(value.integerValue());
    case PreferenceType::String:
        return value.string() ? *value.string() : value.description();
    case PreferenceType::StringArray: {
        // One entry a line, so that a script reads them with a plain loop.
        std::string lines;
        if (const auto* array = value.array()) {
            for (const auto& entry : *array)
                lines += (lines.empty() ? "" : "\n") + entry.description();
        }
        return lines;
    }
    }
    return value.description();
}

// The version is Velmora's record of which build wrote the settings: set by
// hand it would make the next start take the settings for another version's.
bool isKeptByVelmora(const PreferenceKey& key)
{
    return key.name == VelmoraPreferences::kCurrentVersion;
}

enum class KeysListed { All, Settable };

std::vector<const PreferenceKey*> keysOf(KeysListed which)
{
    std::vector<const PreferenceKey*> keys;
    for (const auto& key : VelmoraPreferences::keys()) {
        if (which == KeysListed::All || !isKeptByVelmora(key))
            keys.push_back(&key);
    }
    return keys;
}

std::string knownKeys(KeysListed which)
{
    std::string names;
    for (const auto* key : keysOf(which))
        names += (names.empty() ? "" : ", ") + key->name;
    return names;
}

std::string typeOf(const PreferenceKey& key)
{
    switch (key.type) {
    case PreferenceType::Boolean:
    case PreferenceType::Flag:
        // TRANSLATORS: the type of a setting's value in `velmora set --help`.
        return _("boolean");
    case PreferenceType::Integer:
        return _("whole number");
    case PreferenceType::Real:
        if (key.range)
            return i18n::format(_("number from %g to %g"), key.range->first, key.range->second);
        return _("number");
    case PreferenceType::String:
        return _("text");
    case PreferenceType::StringArray:
        return _("comma-separated list");
    }
    return {};
}

// The footer of `get --help` and `set --help`: every key with its type and
// what it does, one a line.
std::string keysHelp(KeysListed which)
{
    const auto keys = keysOf(which);
    size_t width = 0;
    for (const auto* key : keys)
        width = std::max(width, key->name.size());
    std::string text = std::string(_("Keys:")) + "\n";
    for (const auto* key : keys) {
        text += "  " + key->name + std::string(width + 2 - key->name.size(), ' ') + typeOf(*key);
        for (const auto& [name, meaning] : kKeyMeanings) {
            if (key->name == name)
                text += std::string(": ") + _(meaning);
        }
        text += "\n";
    }
    text += std::string(_("Booleans are true/false, yes/no, on/off or 1/0, in any case.")) + "\n";
    if (which == KeysListed::Settable)
        text += i18n::format(_("%s is kept by Velmora itself and cannot be set."), VelmoraPreferences::kCurrentVersion) + "\n";
    return text + _(kExitCodesPointer);
}

// Each sound once: the same name in two folders plays the first one found.
std::vector<std::string> soundNames()
{
    std::vector<std::string> names = SoundList::availableSoundsforPW();
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace

VelmoraCommand::VelmoraCommand(std::ostream& out, std::ostream& err) : m_out(out), m_err(err)
{
}

VelmoraCommand::~VelmoraCommand()
{
    if (m_pane)
        m_pane->setWindow(nullptr);
}

SettingsPane& VelmoraCommand::pane()
{
    if (!m_pane) {
        m_pane = std::make_unique<SettingsPane>();
        m_pane->setWindow(this);
    }
    return *m_pane;
}

int VelmoraCommand::run(const std::vector<std::string>& arguments)
{
    CLI::App app{std::string(_("Velmora moves the pointer onto the button that answers a new dialog.")) + "\n" + m_withoutCommandHelp, "velmora"};
    i18n::translateCommandLineWords(app);
    // Subcommands copy the footer when they are added: they get the pointer,
    // and the table goes on the top level once they are all there.
    app.footer(_(kExitCodesPointer));
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", "velmora " + ProgramInfo::buildVersion(), _("Print the version and exit"));

    std::string key, value, name;
    auto* statusCommand = app.add_subcommand("status", _("Say whether the agent runs (it holds its name on the session bus); prints \"running\" or \"not running\""));
    auto* startCommand = app.add_subcommand("start", _("Start the agent and start it at login; waits for its announcement"));
    auto* stopCommand = app.add_subcommand("stop", _("Stop the agent and no longer start it at login; waits for it to end"));
    auto* getCommand = app.add_subcommand("get", _("Print the value of a setting (a first read stores its default)"));
    getCommand->add_option("KEY", key, _("a key of the com.brightfen.velmora domain (below)"))->required();
    getCommand->footer(keysHelp(KeysListed::All));
    auto* setCommand = app.add_subcommand("set", _("Store a setting and tell the agent to re-read its settings"));
    setCommand->add_option("KEY", key, _("a key of the com.brightfen.velmora domain (below)"))->required();
    setCommand->add_option("VALUE", value, _("of the key's type (below)"))->required();
    setCommand->footer(keysHelp(KeysListed::Settable));
    auto* ignoreCommand = app.add_subcommand("ignore", _("The applications in which the agent never moves the pointer"));
    ignoreCommand->require_subcommand(1);
    auto* ignoreListCommand = ignoreCommand->add_subcommand("list", _("Print the ignored applications: name, entry, and whether it is built in"));
    auto* ignoreAddCommand = ignoreCommand->add_subcommand("add", _("Ignore an installed application"));
    ignoreAddCommand->add_option("NAME", name, _("its name, its identifier, or the path of its desktop entry"))->required();
    auto* ignoreRemoveCommand = ignoreCommand->add_subcommand("remove", _("Stop ignoring an application (built-in entries stay)"));
    ignoreRemoveCommand->add_option("NAME", name, _("its name or its entry as `ignore list` prints it"))->required();

    auto* checkCommand = app.add_subcommand("check-for-updates",
        _("Ask the vendor's feed for a newer version; exits 0 when up to date, 10 when a newer version exists, 1 on failure"));

    // For shell completion, left out of the help (an empty group hides it).
    std::string listed, valuesKey;
    auto* completeCommand = app.add_subcommand(kCompleteCommand, "Print words for shell completion, one a line")->group("");
    completeCommand->add_option("WHAT", listed)->required()->check(
        CLI::IsMember({kCompleteKeys, kCompleteSettableKeys, kCompleteValues, kCompleteSounds, kCompleteIgnored}));
    completeCommand->add_option("KEY", valuesKey);

    app.footer(_(kExitCodesText));
    i18n::translateSubcommandHeadings(app);

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::Success& e) {
        // Help and the version.
        return app.exit(e, m_out, m_err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, m_out, m_err);
        return kExitUsage;
    }

    if (completeCommand->parsed() && listed != kCompleteIgnored)
        return complete(listed, valuesKey);
    const bool usageOnly = app.get_subcommands().empty();
    if (!usageOnly && !ensureDesktop())
        return kExitNoDesktop;
    if (completeCommand->parsed())
        return complete(listed, valuesKey);
    if (statusCommand->parsed())
        return status();
    if (startCommand->parsed())
        return start();
    if (stopCommand->parsed())
        return stop();
    if (getCommand->parsed())
        return get(key);
    if (setCommand->parsed())
        return set(key, value);
    if (ignoreListCommand->parsed())
        return ignoreList();
    if (ignoreAddCommand->parsed())
        return ignoreAdd(name);
    if (ignoreRemoveCommand->parsed())
        return ignoreRemove(name);
    if (checkCommand->parsed()) {
        auto result = CheckForUpdatesCommand::run();
        (result.exitCode == CheckForUpdatesCommand::kExitFailure ? m_err : m_out) << result.text;
        return result.exitCode;
    }
    // `velmora` alone where the program has no settings window.
    m_out << app.help();
    return kExitSuccess;
}

int VelmoraCommand::complete(const std::string& listed, const std::string& key)
{
    std::vector<std::string> words;
    if (listed == kCompleteKeys || listed == kCompleteSettableKeys) {
        for (const auto* each : keysOf(listed == kCompleteKeys ? KeysListed::All : KeysListed::Settable))
            words.push_back(each->name);
    } else if (listed == kCompleteSounds) {
        words = soundNames();
    } else if (listed == kCompleteValues) {
        const auto* known = VelmoraPreferences::keyNamed(key);
        if (known && (known->type == PreferenceType::Boolean || known->type == PreferenceType::Flag))
            words.assign(std::begin(kBooleanWords), std::end(kBooleanWords));
        else if (key == VelmoraPreferences::kFeedbackSoundName)
            words = soundNames();
    } else if (listed == kCompleteIgnored) {
        // What `ignore remove` can take off: built-in entries stay.
        for (const auto& entry : ignoreEntries()) {
            if (entry.origin != IgnoreEntry::Origin::BuiltIn)
                words.push_back(entry.entry);
        }
    }
    for (const auto& word : words)
        m_out << word << "\n";
    return kExitSuccess;
}

bool VelmoraCommand::ensureDesktop()
{
    if (Platform::isInstalled())
        return true;
    if (m_desktopProvider)
        m_desktop = m_desktopProvider();
    if (!m_desktop) {
        m_err << "velmora: " << _("no desktop session to reach the agent and its settings on (is this a desktop login, with a session bus?)") << "\n";
        return false;
    }
    m_scopedDesktop = std::make_unique<ScopedPlatform>(*m_desktop);
    return true;
}

void VelmoraCommand::askStatus()
{
    auto& controller = pane().agentController();
    controller.setupUI();
    // The controller's own time-out ends the wait; this one only guards it.
    waitForAnswer(AgentClient::kStatusTimeout + 1.0);
}

bool VelmoraCommand::waitForAnswer(double timeout)
{
    auto& controller = pane().agentController();
    auto& loop = Platform::current().runLoop();
    const double deadline = loop.now() + timeout;
    bool timedOut = false;
    auto answered = controller.addObserver("waitingForResponse", [&](const std::string&) {
        if (!controller.waitingForResponse())
            loop.stop();
    });
    auto reaper = loop.scheduleTimer(timeout, TimerRepeats::No, [&] {
        timedOut = true;
        loop.stop();
    });
    // Something else may stop the loop early (an agent in this same process
    // ending on the simulated desktop); keep waiting until answered or late.
    while (controller.waitingForResponse() && !timedOut && loop.now() < deadline)
        loop.run();
    return !controller.waitingForResponse();
}

bool VelmoraCommand::checkCanRun()
{
    auto& controller = pane().agentController();
    if (!controller.accessibilityAPIIsRunning()) {
        m_err << "velmora: " << _("accessibility is switched off, so the agent cannot watch any application.") << "\n"
              << controller.accessibilityInstructions() << "\n";
        if (controller.showUniversalAccess())
            m_err << _("The desktop's accessibility settings have been opened.") << "\n";
        return false;
    }
    if (!controller.canRun()) {
        m_err << "velmora: " << _("the desktop toolkit (GTK 3 or later) is missing or too old to run the agent.") << "\n";
        return false;
    }
    return true;
}

bool VelmoraCommand::writesFailedSince(int failedBefore)
{
    if (pane().agentController().failedPreferenceWrites() == failedBefore)
        return false;
    m_err << "velmora: "
          << _("the settings file (in $XDG_CONFIG_HOME/velmora, normally ~/.config/velmora) could not be written; "
               "nothing changed. Is the disk full or the folder read-only?")
          << "\n";
    return true;
}

int VelmoraCommand::status()
{
    // Only asks: a status check never stops an agent of another version.
    pane().agentController().setQueryOnly(true);
    askStatus();
    bool running = pane().agentController().isRunning();
    m_out << (running ? "running" : "not running") << "\n";
    return running ? kExitSuccess : kExitNotRunning;
}

int VelmoraCommand::start()
{
    auto& controller = pane().agentController();
    askStatus();
    if (controller.isRunning()) {
        // An agent that announced itself only after an earlier start gave up
        // waiting has no login item yet.
        AutostartSynchronizer::of(Platform::current()).setLaunchesAtLogin(true, controller.agentPath());
        warnOfBuildFolderLoginItem(controller.agentPath());
        m_out << "running\n";
        return kExitSuccess;
    }
    if (!checkCanRun())
        return kExitRefused;
    const std::string agent = controller.agentPath();
    if (!Platform::current().application().fileExists(agent)) {
        m_err << "velmora: " << i18n::format(_("the agent is not installed at %s"), agent.c_str()) << "\n";
        return kExitRefused;
    }
    controller.setShouldRun(true);
    if (!controller.agentLaunchFailure().empty()) {
        m_err << "velmora: " << _("could not start the agent.") << " " << controller.agentLaunchFailure() << "\n";
        return kExitRefused;
    }
    const bool answered = waitForAnswer(kAgentAnswerTimeout);
    if (!controller.agentLaunchFailure().empty()) {
        m_err << "velmora: " << _("could not start the agent.") << " " << controller.agentLaunchFailure() << "\n";
        return kExitAgentEnded;
    }
    if (!answered || !controller.isRunning()) {
        m_err << "velmora: "
              << i18n::format(_("the agent did not announce itself within %g seconds; it is not started at login "
                                "(`velmora start` again adds it once the agent runs)"),
                     double(kAgentAnswerTimeout))
              << "\n";
        return kExitNoAnswer;
    }
    warnOfBuildFolderLoginItem(agent);
    m_out << "running\n";
    return kExitSuccess;
}

void VelmoraCommand::warnOfBuildFolderLoginItem(const std::string& agent)
{
    // CMake leaves its cache in every build folder and installs none.
    const std::filesystem::path folder = std::filesystem::path(agent).parent_path();
    if (!Platform::current().application().fileExists((folder / "CMakeCache.txt").string()))
        return;
    m_err << "velmora: "
          << i18n::format(_("at login this starts the agent in the build folder %s, which stops working once that folder is "
                            "moved or deleted (install the package to keep it)"),
                 folder.c_str())
          << "\n";
}

int VelmoraCommand::stop()
{
    auto& controller = pane().agentController();
    askStatus();
    if (!controller.isRunning()) {
        // The switch is already off; a login entry left from an agent that
        // ended on its own would still start it at the next login.
        AutostartSynchronizer::of(Platform::current()).setLaunchesAtLogin(false, controller.agentPath());
        m_out << "not running\n";
        return kExitSuccess;
    }
    if (!checkCanRun())
        return kExitRefused;
    controller.setShouldRun(false);
    if (!waitForAnswer(kAgentAnswerTimeout) || controller.isRunning()) {
        m_err << "velmora: " << i18n::format(_("the agent did not confirm that it quit within %g seconds"), double(kAgentAnswerTimeout)) << "\n";
        return kExitNoAnswer;
    }
    m_out << "not running\n";
    return kExitSuccess;
}

int VelmoraCommand::get(const std::string& keyName)
{
    auto& controller = pane().agentController();
    const auto* key = VelmoraPreferences::keyNamed(keyName);
    if (!key) {
        m_err << "velmora: "
              << i18n::format(_("\"%s\" is not a key of %s; the keys are %s"), keyName.c_str(), VelmoraPreferences::kDomain,
                     knownKeys(KeysListed::All).c_str())
              << "\n";
        return kExitUsage;
    }
    // A settings property stores its default at the first read, as the window does.
    const auto* setting = AgentController::settingForKey(keyName);
    Value value = setting ? controller.valueOfSetting(*setting) : controller.prefForKey(keyName);
    std::string text = formatValue(key->type, value);
    if (!value.isNull() && !text.empty())
        m_out << text << "\n";
    return kExitSuccess;
}

int VelmoraCommand::set(const std::string& keyName, const std::string& text)
{
    auto& controller = pane().agentController();
    if (const auto* key = VelmoraPreferences::keyNamed(keyName); key && isKeptByVelmora(*key)) {
        m_err << "velmora: "
              << i18n::format(_("\"%s\" is kept by Velmora itself (the version that last wrote the settings) and cannot be set"),
                     keyName.c_str())
              << "\n";
        return kExitRefused;
    }
    auto coercion = VelmoraPreferences::valueFromText(keyName, text);
    if (!coercion.value) {
        m_err << "velmora: " << coercion.error;
        if (!VelmoraPreferences::keyNamed(keyName))
            m_err << i18n::format(_("; the keys are %s"), knownKeys(KeysListed::Settable).c_str());
        m_err << "\n";
        return kExitUsage;
    }
    // The agent stays silent for a name it cannot find; the window offers only
    // names from this list, so a typing error here would go unnoticed.
    if (keyName == VelmoraPreferences::kFeedbackSoundName) {
        const auto sounds = soundNames();
        if (std::find(sounds.begin(), sounds.end(), text) == sounds.end()) {
            std::string names;
            for (size_t i = 0; i < sounds.size(); ++i)
                names += (i ? ", " : "") + sounds[i];
            m_err << "velmora: " << i18n::format(_("there is no sound named \"%s\"; the sounds are %s"), text.c_str(), names.c_str()) << "\n";
            return kExitUsage;
        }
    }
    // Through the property's setter where there is one, so the value is
    // stored as the window stores it; the others straight into the domain.
    const int failedBefore = controller.failedPreferenceWrites();
    if (const auto* setting = AgentController::settingForKey(keyName))
        controller.setValueOfSetting(*setting, *coercion.value);
    else
        controller.setPrefOfKey(keyName, *coercion.value);
    return writesFailedSince(failedBefore) ? kExitNotWritten : kExitSuccess;
}

std::vector<std::string> VelmoraCommand::storedIgnoreEntries()
{
    std::vector<std::string> entries;
    std::set<std::string> seen;
    for (const char* key : {VelmoraPreferences::kIgnoredApps, VelmoraPreferences::kOldIgnoredApps}) {
        Value stored = pane().agentController().prefForKey(key);
        for (const auto& item : stored.array() ? *stored.array() : Value::Array{}) {
            if (item.string() && seen.insert(*item.string()).second)
                entries.push_back(*item.string());
        }
    }
    return entries;
}

std::vector<VelmoraCommand::IgnoreEntry> VelmoraCommand::ignoreEntries()
{
    auto& table = pane().ignoredApplicationsController();
    const auto& builtIn = Table::immutableApps();
    auto isBuiltIn = [&](const std::string& entry) { return std::find(builtIn.begin(), builtIn.end(), entry) != builtIn.end(); };
    std::vector<IgnoreEntry> entries;
    std::set<std::string> listed;
    for (const auto& row : table.data()) {
        std::string entry = valueForKey(row, Table::kBundleIdentifier).description();
        listed.insert(entry);
        entries.push_back({valueForKey(row, Table::kApplicationName).description(), entry,
            isBuiltIn(entry) ? IgnoreEntry::Origin::BuiltIn : IgnoreEntry::Origin::User});
    }
    // The window shows only installed applications; here the rest can be
    // seen: the built-in entries the agent writes into the list at every
    // start, and user entries whose application has gone (removable).
    for (const auto& entry : builtIn) {
        if (listed.insert(entry).second)
            entries.push_back({entry, entry, IgnoreEntry::Origin::BuiltIn});
    }
    for (const auto& entry : storedIgnoreEntries()) {
        if (listed.insert(entry).second)
            entries.push_back({entry, entry, IgnoreEntry::Origin::NotInstalled});
    }
    return entries;
}

int VelmoraCommand::ignoreList()
{
    for (const auto& entry : ignoreEntries()) {
        const char* origin = entry.origin == IgnoreEntry::Origin::BuiltIn ? "built-in"
            : entry.origin == IgnoreEntry::Origin::User                   ? "user"
                                                                          : "not installed";
        m_out << entry.name << "\t" << entry.entry << "\t" << origin << "\n";
    }
    return kExitSuccess;
}

int VelmoraCommand::ignoreAdd(const std::string& name)
{
    auto& finder = Platform::current().applicationFinder();
    std::optional<std::string> path;
    if (finder.isBundleAtPath(name))
        path = name;
    if (!path)
        path = finder.absolutePathForAppBundleWithIdentifier(name);
    if (!path)
        path = finder.fullPathForApplication(name);
    // TRANSLATORS: %s is a path; the parenthesis says what counts as installed.
    constexpr const char* kNotInstalled = N_("%s is not an installed application (a desktop entry in an applications folder, or a program on PATH)");
    if (!path) {
        std::error_code error;
        if (name.find('/') != std::string::npos && std::filesystem::exists(name, error))
            m_err << "velmora: " << i18n::format(_(kNotInstalled), name.c_str()) << "\n";
        else
            m_err << "velmora: " << i18n::format(_("no installed application \"%s\""), name.c_str()) << "\n";
        return kExitRefused;
    }
    auto& table = pane().ignoredApplicationsController();
    if (!table.entryForPath(*path)) {
        if (finder.isBundleAtPath(*path) && finder.bundleIdentifierAtPath(*path).empty())
            m_err << "velmora: " << i18n::format(_("%s has no identifier to put on the list"), path->c_str()) << "\n";
        else if (finder.isBundleAtPath(*path))
            m_err << "velmora: " << i18n::format(_("the identifier of %s is not text the settings file can hold"), path->c_str()) << "\n";
        else
            m_err << "velmora: " << i18n::format(_(kNotInstalled), path->c_str()) << "\n";
        return kExitRefused;
    }
    // Whether it was added or found on the list, it is decided under the
    // store's lock; only a failed write is a failure.
    const int failedBefore = pane().agentController().failedPreferenceWrites();
    const bool added = table.addApplicationsAtPaths({*path});
    if (writesFailedSince(failedBefore))
        return kExitNotWritten;
    if (added)
        m_out << i18n::format(_("ignoring %s"), finder.displayNameAtPath(*path).c_str()) << "\n";
    else
        m_out << i18n::format(_("%s is already ignored"), finder.displayNameAtPath(*path).c_str()) << "\n";
    return kExitSuccess;
}

int VelmoraCommand::ignoreRemove(const std::string& name)
{
    auto& table = pane().ignoredApplicationsController();
    table.updateUI();
    auto entryOf = [](const Value::Dictionary& row) { return valueForKey(row, Table::kBundleIdentifier).description(); };
    // An exact entry names one row; an application's name may name several
    // (its name and its identifier both on the list).
    std::vector<std::string> entries;
    auto rows = table.data();
    for (const auto& row : rows) {
        if (entryOf(row) == name)
            entries = {name};
    }
    if (entries.empty()) {
        for (const auto& row : rows) {
            if (strcasecmp(valueForKey(row, Table::kApplicationName).description().c_str(), name.c_str()) == 0)
                entries.push_back(entryOf(row));
        }
    }
    const int failedBefore = pane().agentController().failedPreferenceWrites();
    if (entries.empty()) {
        // A built-in entry whose application is not installed has no row,
        // but it is on the list all the same.
        const auto& builtIn = Table::immutableApps();
        if (std::any_of(builtIn.begin(), builtIn.end(), [&](const std::string& entry) { return strcasecmp(entry.c_str(), name.c_str()) == 0; })) {
            m_err << "velmora: " << i18n::format(_("\"%s\" is built into the list of ignored applications and cannot be removed"), name.c_str()) << "\n";
            return kExitRefused;
        }
        // So has an entry whose application was removed since.
        const auto stored = storedIgnoreEntries();
        if (std::find(stored.begin(), stored.end(), name) == stored.end() || !table.removeEntry(name)) {
            m_err << "velmora: " << i18n::format(_("\"%s\" is not on the list of ignored applications"), name.c_str()) << "\n";
            return kExitRefused;
        }
        return writesFailedSince(failedBefore) ? kExitNotWritten : kExitSuccess;
    }
    std::string refusal;
    bool removed = false;
    for (const auto& entry : entries) {
        rows = table.data();
        auto it = std::find_if(rows.begin(), rows.end(), [&](const auto& row) { return entryOf(row) == entry; });
        if (it == rows.end())
            continue;
        table.selectRow(static_cast<int>(it - rows.begin()));
        if (!table.canRemoveSelectedRow()) {
            refusal = table.selectedAppMessage();
            table.selectRow(Table::kNoSelection);
            continue;
        }
        table.removeApplication();
        removed = true;
    }
    if (!removed) {
        m_err << "velmora: " << refusal << "\n";
        return kExitRefused;
    }
    return writesFailedSince(failedBefore) ? kExitNotWritten : kExitSuccess;
}

} // namespace velmora
