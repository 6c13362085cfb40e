#include "pane/IgnoreListCommand.h"

#include "pane/SettingsPane.h"
#include "pane/VelmoraCommand.h"
#include "platform/Gettext.h"
#include "platform/Platform.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <strings.h>

namespace velmora {

namespace {

using Table = IgnoredApplicationsController;

} // namespace

IgnoreListCommand::IgnoreListCommand(SettingsPane& pane, std::ostream& out, std::ostream& err)
    : m_pane(pane)
    , m_out(out)
    , m_err(err)
{
}

std::vector<std::string> IgnoreListCommand::storedEntries()
{
    std::vector<std::string> found;
    std::set<std::string> seen;
    for (const char* key : {VelmoraPreferences::kIgnoredApps, VelmoraPreferences::kOldIgnoredApps}) {
        Value stored = m_pane.agentController().prefForKey(key);
        for (const auto& item : stored.array() ? *stored.array() : Value::Array{}) {
            if (item.string() && seen.insert(*item.string()).second)
                found.push_back(*item.string());
        }
    }
    return found;
}

std::vector<IgnoreListCommand::Entry> IgnoreListCommand::entries()
{
    auto& table = m_pane.ignoredApplicationsController();
    const auto& builtIn = Table::immutableApps();
    auto isBuiltIn = [&](const std::string& entry) { return std::find(builtIn.begin(), builtIn.end(), entry) != builtIn.end(); };
    std::vector<Entry> listedEntries;
    std::set<std::string> listed;
    for (const auto& row : table.data()) {
        std::string entry = valueForKey(row, Table::kEntry).description();
        listed.insert(entry);
        listedEntries.push_back({valueForKey(row, Table::kApplicationName).description(), entry,
            isBuiltIn(entry) ? Entry::Origin::BuiltIn : Entry::Origin::User});
    }
    // The window shows only installed applications; here the rest can be
    // seen: the built-in entries the agent writes into the list at every
    // start, and user entries whose application has gone (removable).
    for (const auto& entry : builtIn) {
        if (listed.insert(entry).second)
            listedEntries.push_back({entry, entry, Entry::Origin::BuiltIn});
    }
    for (const auto& entry : storedEntries()) {
        if (listed.insert(entry).second)
            listedEntries.push_back({entry, entry, Entry::Origin::NotInstalled});
    }
    return listedEntries;
}

int IgnoreListCommand::list()
{
    for (const auto& entry : entries()) {
        const char* origin = entry.origin == Entry::Origin::BuiltIn ? "built-in"
            : entry.origin == Entry::Origin::User                   ? "user"
                                                                          : "not installed";
        m_out << entry.name << "\t" << entry.entry << "\t" << origin << "\n";
    }
    return VelmoraCommand::kExitSuccess;
}

int IgnoreListCommand::add(const std::string& name)
{
    auto& finder = m_pane.platform().applicationFinder();
    std::optional<std::string> path;
    if (finder.isApplicationAtPath(name))
        path = name;
    if (!path)
        path = finder.pathForApplicationWithIdentifier(name);
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
        return VelmoraCommand::kExitRefused;
    }
    auto& table = m_pane.ignoredApplicationsController();
    if (!table.entryForPath(*path)) {
        if (finder.isApplicationAtPath(*path) && finder.applicationIdentifierAtPath(*path).empty())
            m_err << "velmora: " << i18n::format(_("%s has no identifier to put on the list"), path->c_str()) << "\n";
        else if (finder.isApplicationAtPath(*path))
            m_err << "velmora: " << i18n::format(_("the identifier of %s is not text the settings file can hold"), path->c_str()) << "\n";
        else
            m_err << "velmora: " << i18n::format(_(kNotInstalled), path->c_str()) << "\n";
        return VelmoraCommand::kExitRefused;
    }
    // Whether it was added or found on the list, it is decided under the
    // store's lock; only a failed write is a failure.
    const int failedBefore = m_pane.agentController().failedPreferenceWrites();
    const bool added = table.addApplicationsAtPaths({*path});
    if (VelmoraCommand::reportFailedWrites(m_pane.agentController(), failedBefore, m_err))
        return VelmoraCommand::kExitNotWritten;
    if (added)
        m_out << i18n::format(_("ignoring %s"), finder.displayNameAtPath(*path).c_str()) << "\n";
    else
        m_out << i18n::format(_("%s is already ignored"), finder.displayNameAtPath(*path).c_str()) << "\n";
    return VelmoraCommand::kExitSuccess;
}

int IgnoreListCommand::remove(const std::string& name)
{
    auto& table = m_pane.ignoredApplicationsController();
    table.updateUI();
    auto entryOf = [](const Value::Dictionary& row) { return valueForKey(row, Table::kEntry).description(); };
    // An exact entry names one row; an application's name may name several
    // (its name and its identifier both on the list).
    std::vector<std::string> named;
    auto rows = table.data();
    for (const auto& row : rows) {
        if (entryOf(row) == name)
            named = {name};
    }
    if (named.empty()) {
        for (const auto& row : rows) {
            if (strcasecmp(valueForKey(row, Table::kApplicationName).description().c_str(), name.c_str()) == 0)
                named.push_back(entryOf(row));
        }
    }
    const int failedBefore = m_pane.agentController().failedPreferenceWrites();
    if (named.empty()) {
        // A built-in entry whose application is not installed has no row,
        // but it is on the list all the same.
        const auto& builtIn = Table::immutableApps();
        if (std::any_of(builtIn.begin(), builtIn.end(), [&](const std::string& entry) { return strcasecmp(entry.c_str(), name.c_str()) == 0; })) {
            m_err << "velmora: " << i18n::format(_("\"%s\" is built into the list of ignored applications and cannot be removed"), name.c_str()) << "\n";
            return VelmoraCommand::kExitRefused;
        }
        // So has an entry whose application was removed since.
        const auto stored = storedEntries();
        if (std::find(stored.begin(), stored.end(), name) == stored.end() || !table.removeEntry(name)) {
            m_err << "velmora: " << i18n::format(_("\"%s\" is not on the list of ignored applications"), name.c_str()) << "\n";
            return VelmoraCommand::kExitRefused;
        }
        return VelmoraCommand::reportFailedWrites(m_pane.agentController(), failedBefore, m_err) ? VelmoraCommand::kExitNotWritten : VelmoraCommand::kExitSuccess;
    }
    std::string refusal;
    bool removed = false;
    for (const auto& entry : named) {
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
        return VelmoraCommand::kExitRefused;
    }
    return VelmoraCommand::reportFailedWrites(m_pane.agentController(), failedBefore, m_err) ? VelmoraCommand::kExitNotWritten : VelmoraCommand::kExitSuccess;
}

} // namespace velmora
