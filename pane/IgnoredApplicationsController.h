#pragma once

#include "platform/Gettext.h"
#include "pane/AgentSettingsWriter.h"
#include "pane/ObservableProperties.h"
#include "platform/Value.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class ApplicationFinder;

// The editor of the applications the agent leaves alone: the rows of its
// table, adding applications by path, removing the selected one, and the
// one-line summary. Reaches the preferences only through `prefsSetter`, so
// every change is stored at once and announced to the agent.
//
// Observable keys: "ignoredAppsNames", "selectedAppMessage",
// "canRemoveSelectedRow".
class IgnoredApplicationsController : public ObservableProperties {
public:
    static constexpr const char* kIgnoredAppsKey = VelmoraPreferences::kIgnoredApps;
    static constexpr const char* kLegacyIgnoredAppsKey = VelmoraPreferences::kOldIgnoredApps;

    // Row keys; a column is identified by one of them.
    static constexpr const char* kEntry = "bundleIdentifier"; // the entry as stored, whatever its form
    static constexpr const char* kPath = "bundlePath";
    static constexpr const char* kApplicationName = "applicationName";
    static constexpr const char* kLowercaseApplicationName = "lowercaseApplicationName";
    static constexpr const char* kIcon = "bundleIcon";

    // The chooser that addApplication() runs, as the front end shows it.
    static constexpr const char* kChooserPrompt = N_("Exclude");
    static constexpr const char* kChooserTitle = N_("Choose Applications to Exclude");
    static constexpr const char* kChooserMessage =
        N_("Choose applications that you would like Velmora to exclude.\n"
           "Velmora will never snap the cursor within the applications you choose from this dialog.");

    static constexpr int kNoSelection = -1;

    // `prefsSetter` and `finder` (not owned) outlive the controller; the
    // finder resolves entries to installed applications.
    IgnoredApplicationsController(AgentSettingsWriter& prefsSetter, ApplicationFinder& finder);

    // Applications known to misbehave with the agent; always ignored, never removable.
    static const std::array<std::string, 3>& immutableApps();

    // The rows, sorted by lower-case name, rebuilt at every call.
    std::vector<Value::Dictionary> data();
    // The row dictionary of an entry, from the cache or newly built; empty
    // when the entry resolves to no installed application.
    Value::Dictionary rowForEntry(const std::string& entry);
    Value::Dictionary buildRowForEntry(const std::string& entry) const;

    // Table data source and delegate. numberOfRows() rebuilds the rows; the
    // cells are read from the rows as last built (as a table asks: the count
    // first, then the cells).
    int numberOfRows();
    Value objectValueForTableColumn(const std::string& identifier, int row);
    std::string toolTipForCell(const std::string& identifier, int row);
    bool shouldSelectRow(int) const { return true; }
    bool shouldEditTableColumn(const std::string&, int) const { return false; }
    int selectedRow() const { return m_selectedRow; }
    // Selects a row (kNoSelection to deselect) and announces what follows from it.
    void selectRow(int row);
    void tableViewSelectionDidChange();

    // Bindable properties.
    std::string ignoredAppsNames();
    std::string selectedAppMessage();
    bool canRemoveSelectedRow();

    // Adds what the chooser returned (the front end runs the chooser and
    // calls nothing when it was cancelled). One locked read-modify-write of
    // the stored list for the whole choice (entries other processes add or
    // remove meanwhile are kept as they left them), no write when nothing
    // new was chosen; the table is reloaded either way. Answers whether
    // anything was added; a failed write counts with the settings controller.
    bool addApplicationsAtPaths(const std::vector<std::string>& paths);
    // Appends the entry for the application at `path` unless `exclusionList`
    // holds it already; answers whether it appended. Stores nothing.
    bool addAppWithPath(const std::string& path, Value::Array& exclusionList);
    // The entry that adding the application at `path` would store; nothing
    // when it is no application that the list could show again, or when its
    // entry is text the settings file cannot hold.
    std::optional<std::string> entryForPath(const std::string& path);
    // Removes the selected entry from both keys, unless it is built in.
    void removeApplication();
    // Removes `entry` from both keys as removeApplication() would, also when
    // it has no row (its application is gone), in one locked
    // read-modify-write; answers whether either key held it as stored then.
    // Built-in entries are refused.
    bool removeEntry(const std::string& entry);

    void updateUI();
    void notifyBindingsOfChangeInList();
    // Drops onto the table are not accepted.
    std::vector<std::string> draggedTypes() const { return {}; }

private:
    std::vector<std::string> storedEntries(const char* key);
    const std::string* selectedEntry();
    void reloadData();

    AgentSettingsWriter& m_prefsSetter; // not owned
    ApplicationFinder& m_finder;        // not owned
    std::map<std::string, Value::Dictionary> m_appInfoDictionaries;
    int m_selectedRow{kNoSelection};
    std::vector<Value::Dictionary> m_rows; // as last shown: the selection refers to them
};

} // namespace velmora
