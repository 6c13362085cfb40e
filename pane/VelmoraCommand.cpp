#include "pane/VelmoraCommand.h"

#include "shared/i18n/CommandLineWords.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/CheckForUpdatesCommand.h"

#include "pane/AgentSwitchCommand.h"
#include "pane/IgnoreListCommand.h"
#include "pane/SoundList.h"
#include "platform/Platform.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <ostream>
#include <set>
#include <utility>

namespace velmora {

namespace {

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
        m_pane = std::make_unique<SettingsPane>(Platform::current());
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
        return AgentSwitchCommand(pane(), m_out, m_err).status();
    if (startCommand->parsed())
        return AgentSwitchCommand(pane(), m_out, m_err).start();
    if (stopCommand->parsed())
        return AgentSwitchCommand(pane(), m_out, m_err).stop();
    if (getCommand->parsed())
        return get(key);
    if (setCommand->parsed())
        return set(key, value);
    if (ignoreListCommand->parsed())
        return IgnoreListCommand(pane(), m_out, m_err).list();
    if (ignoreAddCommand->parsed())
        return IgnoreListCommand(pane(), m_out, m_err).add(name);
    if (ignoreRemoveCommand->parsed())
        return IgnoreListCommand(pane(), m_out, m_err).remove(name);
    if (checkCommand->parsed()) {
        auto result = CheckForUpdatesCommand::run(pane().platform());
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
        for (const auto& entry : IgnoreListCommand(pane(), m_out, m_err).entries()) {
            if (entry.origin != IgnoreListCommand::Entry::Origin::BuiltIn)
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

// static
bool VelmoraCommand::reportFailedWrites(AgentController& controller, int failedBefore, std::ostream& err)
{
    if (controller.failedPreferenceWrites() == failedBefore)
        return false;
    err << "velmora: "
          << _("the settings file (in $XDG_CONFIG_HOME/velmora, normally ~/.config/velmora) could not be written; "
               "nothing changed. Is the disk full or the folder read-only?")
          << "\n";
    return true;
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
    return reportFailedWrites(controller, failedBefore, m_err) ? kExitNotWritten : kExitSuccess;
}

} // namespace velmora
