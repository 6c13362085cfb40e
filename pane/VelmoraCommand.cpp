#include "pane/VelmoraCommand.h"

#include "platform/Platform.h"
#include "shared/loginitems/LoginItemsSynchronizer.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <optional>
#include <ostream>
#include <strings.h>

namespace velmora {

namespace {

using Kind = VelmoraBGController::SettingKind;
using Table = IgnoredApplicationsTableViewController;

constexpr const char* kExitCodesText =
    "Exit codes:\n"
    "  0  success; for status: the agent is running\n"
    "  1  status: the agent is not running\n"
    "  2  bad arguments, an unknown key, or a value of the wrong type (nothing is written)\n"
    "  3  refused: accessibility is off, the desktop toolkit is too old, no such application,\n"
    "     or a built-in entry of the ignored list\n"
    "  4  the agent did not answer in time\n";

// Keys of the domain that are not settings of the controller.
constexpr const char* kListKeys[] = {Table::kIgnoredAppsKey, Table::kLegacyIgnoredAppsKey};

std::string expectedType(Kind kind)
{
    switch (kind) {
    case Kind::Float:
        return "a number from 0 to 1";
    case Kind::String:
        return "a non-empty text";
    case Kind::Boolean:
    case Kind::IntegerBoolean:
        return "a boolean (true, false, 1 or 0)";
    case Kind::Integer:
        return "a whole number";
    }
    return "";
}

// The text as the setting's type; nothing when it is not of that type.
std::optional<Value> parseSetting(Kind kind, const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    switch (kind) {
    case Kind::Float: {
        float f = 0;
        auto [end, error] = std::from_chars(first, last, f);
        if (error != std::errc() || end != last || !std::isfinite(f) || f < 0 || f > 1)
            return std::nullopt;
        return Value(static_cast<double>(f));
    }
    case Kind::String:
        if (text.empty())
            return std::nullopt;
        return Value(text);
    case Kind::Boolean:
    case Kind::IntegerBoolean:
        if (strcasecmp(text.c_str(), "true") == 0 || text == "1")
            return Value(true);
        if (strcasecmp(text.c_str(), "false") == 0 || text == "0")
            return Value(false);
        return std::nullopt;
    case Kind::Integer: {
        int i = 0;
        auto [end, error] = std::from_chars(first, last, i);
        if (error != std::errc() || end != last)
            return std::nullopt;
        return Value(i);
    }
    }
    return std::nullopt;
}

std::string formatSetting(Kind kind, const Value& value)
{
    switch (kind) {
    case Kind::Float: {
        char buffer[32];
        auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value.doubleValue()));
        return error == std::errc() ? std::string(buffer, end) : value.description();
    }
    case Kind::String:
        return value.string() ? *value.string() : value.description();
    case Kind::Boolean:
    case Kind::IntegerBoolean:
        return value.boolValue() ? "true" : "false";
    case Kind::Integer:
        return std::to_string(value.integerValue());
    }
    return value.description();
}

std::string knownKeys()
{
    std::string keys;
    for (const auto& setting : VelmoraBGController::settings())
        keys += std::string(keys.empty() ? "" : ", ") + setting.key;
    for (const char* key : kListKeys)
        keys += std::string(", ") + key;
    return keys + ", " + BGAppController::kCurrentVersionKey;
}

bool isListKey(const std::string& key)
{
    return key == kListKeys[0] || key == kListKeys[1];
}

} // namespace

VelmoraCommand::VelmoraCommand(std::ostream& out, std::ostream& err) : m_out(out), m_err(err)
{
    m_pane.setWindow(this);
}

VelmoraCommand::~VelmoraCommand()
{
    m_pane.setWindow(nullptr);
}

int VelmoraCommand::run(const std::vector<std::string>& arguments)
{
    CLI::App app{"Velmora moves the pointer onto the button that answers a new dialog.\n"
                 "Without a command, prints this help.",
        "velmora"};
    app.footer(kExitCodesText);
    app.require_subcommand(0, 1);

    std::string key, value, name;
    auto* statusCommand = app.add_subcommand("status", "Ask the agent whether it runs (waits up to 2 s); prints \"running\" or \"not running\"");
    auto* startCommand = app.add_subcommand("start", "Start the agent and start it at login; waits for its announcement");
    auto* stopCommand = app.add_subcommand("stop", "Stop the agent and no longer start it at login; waits for it to end");
    auto* getCommand = app.add_subcommand("get", "Print the value of a setting (a first read stores its default)");
    getCommand->add_option("KEY", key, "a key of the com.brightfen.velmora domain")->required();
    auto* setCommand = app.add_subcommand("set", "Store a setting and tell the agent to re-read its settings");
    setCommand->add_option("KEY", key, "a key of the com.brightfen.velmora domain")->required();
    setCommand->add_option("VALUE", value, "true/false/1/0 for booleans, a number, or a text")->required();
    auto* ignoreCommand = app.add_subcommand("ignore", "The applications in which the agent never moves the pointer");
    ignoreCommand->require_subcommand(1);
    auto* ignoreListCommand = ignoreCommand->add_subcommand("list", "Print the ignored applications: name, entry, and whether it is built in");
    auto* ignoreAddCommand = ignoreCommand->add_subcommand("add", "Ignore an installed application");
    ignoreAddCommand->add_option("NAME", name, "its name, its identifier, or the path of its desktop entry")->required();
    auto* ignoreRemoveCommand = ignoreCommand->add_subcommand("remove", "Stop ignoring an application (built-in entries stay)");
    ignoreRemoveCommand->add_option("NAME", name, "its name or its entry as `ignore list` prints it")->required();

    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, m_out, m_err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, m_out, m_err);
        return kExitUsage;
    }

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
    // TODO(issue 9): open the settings window instead.
    m_out << app.help();
    return kExitSuccess;
}

void VelmoraCommand::askStatus()
{
    auto& controller = m_pane.prefsController();
    controller.setupUI();
    // The controller's own time-out ends the wait; this one only guards it.
    waitForAnswer(BGAppController::kStatusTimeout + 1.0);
}

bool VelmoraCommand::waitForAnswer(double timeout)
{
    auto& controller = m_pane.prefsController();
    if (!controller.waitingForResponse())
        return true;
    auto& loop = Platform::current().runLoop();
    auto answered = controller.addObserver("waitingForResponse", [&](const std::string&) {
        if (!controller.waitingForResponse())
            loop.stop();
    });
    auto reaper = loop.scheduleTimer(timeout, TimerRepeats::No, [&] { loop.stop(); });
    loop.run();
    return !controller.waitingForResponse();
}

bool VelmoraCommand::checkCanRun()
{
    auto& controller = m_pane.prefsController();
    if (!controller.accessibilityAPIIsRunning()) {
        m_err << "velmora: accessibility is switched off, so the agent cannot watch any application.\n"
              << controller.accessibilityInstructions() << "\n";
        if (controller.showUniversalAccess())
            m_err << "The desktop's accessibility settings have been opened.\n";
        return false;
    }
    if (!controller.canRun()) {
        m_err << "velmora: the desktop toolkit is too old to run the agent.\n";
        return false;
    }
    return true;
}

int VelmoraCommand::status()
{
    askStatus();
    bool running = m_pane.prefsController().isRunning();
    m_out << (running ? "running" : "not running") << "\n";
    return running ? kExitSuccess : kExitNotRunning;
}

int VelmoraCommand::start()
{
    auto& controller = m_pane.prefsController();
    askStatus();
    if (controller.isRunning()) {
        m_out << "running\n";
        return kExitSuccess;
    }
    if (!checkCanRun())
        return kExitRefused;
    const std::string agent = controller.agentPath();
    if (!Platform::current().application().fileExists(agent)) {
        m_err << "velmora: the agent is not installed at " << agent << "\n";
        return kExitRefused;
    }
    controller.setShouldRun(true);
    if (!waitForAnswer(kAgentAnswerTimeout)) {
        m_err << "velmora: the agent did not announce itself within " << kAgentAnswerTimeout
              << " seconds; it stays registered to start at login (`velmora stop` removes it)\n";
        return kExitNoAnswer;
    }
    m_out << "running\n";
    return kExitSuccess;
}

int VelmoraCommand::stop()
{
    auto& controller = m_pane.prefsController();
    askStatus();
    if (!controller.isRunning()) {
        // The switch is already off; a login entry left from an agent that
        // ended on its own would still start it at the next login.
        LoginItemsSynchronizer::setAppLaunchesAtLogin(false, controller.agentPath());
        m_out << "not running\n";
        return kExitSuccess;
    }
    if (!checkCanRun())
        return kExitRefused;
    controller.setShouldRun(false);
    if (!waitForAnswer(kAgentAnswerTimeout)) {
        m_err << "velmora: the agent did not confirm that it quit within " << kAgentAnswerTimeout << " seconds\n";
        return kExitNoAnswer;
    }
    m_out << "not running\n";
    return kExitSuccess;
}

int VelmoraCommand::get(const std::string& key)
{
    auto& controller = m_pane.prefsController();
    if (const auto* setting = VelmoraBGController::settingForKey(key)) {
        m_out << formatSetting(setting->kind, controller.valueOfSetting(*setting)) << "\n";
        return kExitSuccess;
    }
    if (isListKey(key)) {
        Value list = controller.prefForKey(key);
        if (const auto* array = list.array()) {
            for (const auto& entry : *array)
                m_out << entry.description() << "\n";
        }
        return kExitSuccess;
    }
    if (key == BGAppController::kCurrentVersionKey) {
        Value version = controller.prefForKey(key);
        if (version.string())
            m_out << *version.string() << "\n";
        return kExitSuccess;
    }
    m_err << "velmora: unknown key \"" << key << "\"; the keys are " << knownKeys() << "\n";
    return kExitUsage;
}

int VelmoraCommand::set(const std::string& key, const std::string& text)
{
    auto& controller = m_pane.prefsController();
    const auto* setting = VelmoraBGController::settingForKey(key);
    if (!setting) {
        if (isListKey(key))
            m_err << "velmora: \"" << key << "\" is a list; change it with `velmora ignore add` or `velmora ignore remove`\n";
        else if (key == BGAppController::kCurrentVersionKey)
            m_err << "velmora: \"" << key << "\" is kept by Velmora itself and cannot be set\n";
        else
            m_err << "velmora: unknown key \"" << key << "\"; the keys are " << knownKeys() << "\n";
        return kExitUsage;
    }
    auto value = parseSetting(setting->kind, text);
    if (!value) {
        m_err << "velmora: \"" << text << "\" is not a valid value for " << key << ": expected " << expectedType(setting->kind) << "\n";
        return kExitUsage;
    }
    controller.setValueOfSetting(*setting, *value);
    return kExitSuccess;
}

int VelmoraCommand::ignoreList()
{
    auto& table = m_pane.ignoredAppsController();
    for (const auto& row : table.data()) {
        const std::string entry = valueForKey(row, Table::kBundleIdentifier).description();
        const auto& builtIn = Table::immutableApps();
        bool isBuiltIn = std::find(builtIn.begin(), builtIn.end(), entry) != builtIn.end();
        m_out << valueForKey(row, Table::kApplicationName).description() << "\t" << entry << "\t" << (isBuiltIn ? "built-in" : "user") << "\n";
    }
    return kExitSuccess;
}

int VelmoraCommand::ignoreAdd(const std::string& name)
{
    auto& finder = Platform::current().applicationFinder();
    std::optional<std::string> path;
    if (finder.isBundleAtPath(name) || finder.fileTypeAtPath(name))
        path = name;
    if (!path)
        path = finder.absolutePathForAppBundleWithIdentifier(name);
    if (!path)
        path = finder.fullPathForApplication(name);
    if (!path) {
        m_err << "velmora: no installed application \"" << name << "\"\n";
        return kExitRefused;
    }
    auto& table = m_pane.ignoredAppsController();
    if (table.addApplicationsAtPaths({*path})) {
        m_out << "ignoring " << finder.displayNameAtPath(*path) << "\n";
        return kExitSuccess;
    }
    if (finder.isBundleAtPath(*path) && finder.bundleIdentifierAtPath(*path).empty()) {
        m_err << "velmora: " << *path << " has no identifier to put on the list\n";
        return kExitRefused;
    }
    if (!finder.isBundleAtPath(*path)) {
        m_err << "velmora: " << *path << " is not an application that can be ignored\n";
        return kExitRefused;
    }
    m_out << finder.displayNameAtPath(*path) << " is already ignored\n";
    return kExitSuccess;
}

int VelmoraCommand::ignoreRemove(const std::string& name)
{
    auto& table = m_pane.ignoredAppsController();
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
    if (entries.empty()) {
        m_err << "velmora: \"" << name << "\" is not on the list of ignored applications\n";
        return kExitRefused;
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
    return kExitSuccess;
}

} // namespace velmora
