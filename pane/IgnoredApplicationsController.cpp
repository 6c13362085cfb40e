#include "pane/IgnoredApplicationsController.h"

#include "platform/ApplicationFinder.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace velmora {

namespace {

std::string lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const std::string& stringForKey(const Value::Dictionary& row, const char* key)
{
    static const std::string empty;
    const std::string* s = valueForKey(row, key).string();
    return s ? *s : empty;
}

bool isImmutable(const std::string& entry)
{
    const auto& apps = IgnoredApplicationsController::immutableApps();
    return std::find(apps.begin(), apps.end(), entry) != apps.end();
}

} // namespace

IgnoredApplicationsController::IgnoredApplicationsController(AgentSettingsWriter& prefsSetter, ApplicationFinder& finder)
    : m_prefsSetter(prefsSetter)
    , m_finder(finder)
{
}

const std::array<std::string, 3>& IgnoredApplicationsController::immutableApps()
{
    static const std::array<std::string, 3> apps{"Moneydance", "V2C", "Address Book"};
    return apps;
}

std::vector<std::string> IgnoredApplicationsController::storedEntries(const char* key)
{
    std::vector<std::string> entries;
    Value stored = m_prefsSetter.prefForKey(key);
    if (const auto* array = stored.array()) {
        for (const auto& item : *array) {
            if (item.string())
                entries.push_back(*item.string());
        }
    }
    return entries;
}

std::vector<Value::Dictionary> IgnoredApplicationsController::data()
{
    std::set<std::string> entries(immutableApps().begin(), immutableApps().end());
    for (const char* key : {kIgnoredAppsKey, kLegacyIgnoredAppsKey}) {
        for (auto& entry : storedEntries(key))
            entries.insert(std::move(entry));
    }
    std::vector<Value::Dictionary> rows;
    for (const auto& entry : entries) {
        auto row = rowForEntry(entry);
        if (!row.empty())
            rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return stringForKey(a, kLowercaseApplicationName) < stringForKey(b, kLowercaseApplicationName);
    });
    return rows;
}

Value::Dictionary IgnoredApplicationsController::rowForEntry(const std::string& entry)
{
    if (auto it = m_appInfoDictionaries.find(entry); it != m_appInfoDictionaries.end())
        return it->second;
    // Only what resolved is cached: an application installed later shows up.
    auto row = buildRowForEntry(entry);
    if (!row.empty())
        m_appInfoDictionaries.emplace(entry, row);
    return row;
}

Value::Dictionary IgnoredApplicationsController::buildRowForEntry(const std::string& entry) const
{
    auto path = m_finder.pathForApplicationWithIdentifier(entry);
    if (!path)
        path = m_finder.fullPathForApplication(entry);
    if (!path || path->empty())
        return {};
    const std::string name = m_finder.displayNameAtPath(*path);
    return {
        {kEntry, entry},
        {kPath, *path},
        {kApplicationName, name},
        {kLowercaseApplicationName, lowercase(name)},
        {kIcon, m_finder.iconForFile(*path)},
    };
}

int IgnoredApplicationsController::numberOfRows()
{
    // The table asks this first, then for each cell: the rows are rebuilt
    // here, once, not for every cell.
    reloadData();
    return static_cast<int>(m_rows.size());
}

Value IgnoredApplicationsController::objectValueForTableColumn(const std::string& identifier, int row)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return {};
    return valueForKey(m_rows[row], identifier);
}

std::string IgnoredApplicationsController::toolTipForCell(const std::string& identifier, int row)
{
    return objectValueForTableColumn(identifier, row).description();
}

void IgnoredApplicationsController::selectRow(int row)
{
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        row = kNoSelection;
    if (row == m_selectedRow)
        return;
    m_selectedRow = row;
    tableViewSelectionDidChange();
}

void IgnoredApplicationsController::tableViewSelectionDidChange()
{
    didChangeValueForKey("canRemoveSelectedRow");
    didChangeValueForKey("selectedAppMessage");
}

const std::string* IgnoredApplicationsController::selectedEntry()
{
    if (m_selectedRow == kNoSelection)
        return nullptr;
    return valueForKey(m_rows[m_selectedRow], kEntry).string();
}

bool IgnoredApplicationsController::canRemoveSelectedRow()
{
    const std::string* entry = selectedEntry();
    return entry && !isImmutable(*entry);
}

std::string IgnoredApplicationsController::selectedAppMessage()
{
    const std::string* entry = selectedEntry();
    if (!entry || !isImmutable(*entry))
        return "";
    return i18n::format(_("The application \"%s\" is known to not work well with Velmora. It should not be removed from this list."), entry->c_str());
}

std::string IgnoredApplicationsController::ignoredAppsNames()
{
    auto rows = data();
    if (rows.empty())
        return _("(set Velmora to not work in certain applications)");
    std::set<std::string> named;
    std::string summary;
    for (const auto& row : rows) {
        const std::string& name = stringForKey(row, kApplicationName);
        if (named.insert(name).second)
            summary += (summary.empty() ? "" : ", ") + name;
    }
    return summary;
}

bool IgnoredApplicationsController::addApplicationsAtPaths(const std::vector<std::string>& paths)
{
    // The applications are looked up first; the list itself is read, added
    // to and written back in one locked step, so an entry another process
    // adds or removes meanwhile is neither lost nor brought back.
    std::vector<std::string> chosen;
    for (const auto& path : paths) {
        if (auto entry = entryForPath(path))
            chosen.push_back(std::move(*entry));
    }
    bool added = false;
    if (!chosen.empty()) {
        const bool written = m_prefsSetter.updatePrefs([&](Value::Dictionary& prefs) {
            added = false;
            Value& stored = prefs[kIgnoredAppsKey];
            Value::Array list = stored.array() ? std::move(*stored.array()) : Value::Array{};
            std::set<std::string> present;
            for (const auto& item : list) {
                if (const std::string* text = item.string())
                    present.insert(*text);
            }
            for (const auto& entry : chosen) {
                if (present.insert(entry).second) {
                    list.push_back(entry);
                    added = true;
                }
            }
            stored = std::move(list);
            return added;
        });
        added = added && written;
    }
    reloadData();
    notifyBindingsOfChangeInList();
    return added;
}

bool IgnoredApplicationsController::addAppWithPath(const std::string& path, Value::Array& exclusionList)
{
    auto entry = entryForPath(path);
    if (!entry || std::find(exclusionList.begin(), exclusionList.end(), Value(*entry)) != exclusionList.end())
        return false;
    exclusionList.push_back(*entry);
    return true;
}

std::optional<std::string> IgnoredApplicationsController::entryForPath(const std::string& path)
{
    if (!m_finder.isApplicationAtPath(path))
        return std::nullopt;
    std::string entry = m_finder.applicationIdentifierAtPath(path);
    // What the settings file cannot hold would make the write fail.
    if (entry.empty() || !VelmoraPreferences::isStorableText(entry))
        return std::nullopt;
    return entry;
}

void IgnoredApplicationsController::removeApplication()
{
    const std::string* selected = selectedEntry();
    if (!selected)
        return;
    const std::string entry = *selected;
    if (isImmutable(entry))
        return;
    removeEntry(entry);
}

bool IgnoredApplicationsController::removeEntry(const std::string& entry)
{
    if (isImmutable(entry))
        return false;
    // Both keys in one locked step, each written only if it held the entry.
    bool held = false;
    m_prefsSetter.updatePrefs([&](Value::Dictionary& prefs) {
        held = false;
        for (const char* key : {kIgnoredAppsKey, kLegacyIgnoredAppsKey}) {
            auto it = prefs.find(key);
            if (it == prefs.end() || !it->second.array())
                continue;
            held = std::erase(*it->second.array(), Value(entry)) > 0 || held;
        }
        return held;
    });
    m_selectedRow = kNoSelection;
    reloadData();
    notifyBindingsOfChangeInList();
    return held;
}

void IgnoredApplicationsController::updateUI()
{
    reloadData();
    didChangeValueForKey("ignoredAppsNames");
}

void IgnoredApplicationsController::reloadData()
{
    m_rows = data();
    if (m_selectedRow >= static_cast<int>(m_rows.size()))
        m_selectedRow = kNoSelection;
}

void IgnoredApplicationsController::notifyBindingsOfChangeInList()
{
    didChangeValueForKey("canRemoveSelectedRow");
    didChangeValueForKey("selectedAppMessage");
    didChangeValueForKey("ignoredAppsNames");
}

} // namespace velmora
