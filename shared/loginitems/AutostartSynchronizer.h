#pragma once

#include "platform/Value.h"

#include <functional>
#include <optional>
#include <string>

namespace velmora {

class Application;
class Platform;
class ProgramSettings;

// The programs the session starts at login: the ordered entry list under
// "AutoLaunchedApplicationDictionary" in the "loginwindow" preferences domain
// (on Linux the settings store keeps it as the XDG autostart folder), each
// entry a dictionary with at least "Path" and "Hide". Entries are only ever
// added or removed whole, so keys written by others survive.
//
// A path argument is taken as given, without normalising it; an empty path
// stands for this program's own executable (normalised). An entry matches a path
// when its own "Path", normalised, equals the path exactly. A missing domain
// or list reads as empty; nothing here reports an error.
class AutostartSynchronizer {
public:
    // The settings store holds the autostart entries' domain; the
    // application names this program's own executable. Both outlive the
    // synchronizer.
    AutostartSynchronizer(ProgramSettings& settings, Application& application);
    static AutostartSynchronizer of(Platform& platform);

    // Whether an entry matches `path`; re-reads the preferences first.
    bool launchesAtLogin(const std::string& path);
    // Appends {"Path": path, "Hide": false} unless an entry matches already.
    void addAutostartEntry(const std::string& path);
    // Removes the first matching entry and every entry equal to it in all keys
    // and values (paths compared normalised, the file an entry is kept in not
    // compared); matching entries that differ in some other key stay.
    void removeAutostartEntry(const std::string& path);
    // Re-reads, adds or removes, then flushes.
    void setLaunchesAtLogin(bool launches, const std::string& path);
    // The normalised path of the first entry whose program's file name, without
    // extension, equals `name` without extension (case-sensitive); nothing
    // when none does. Reads the domain as last loaded, without re-reading.
    std::optional<std::string> pathOfAutostartEntryNamed(const std::string& name);

    // Tilde expanded from $HOME, "." and ".." components resolved, doubled
    // and trailing slashes removed.
    static std::string normalisedPath(const std::string& path);

private:
    // `path`, or this program's own bundle (normalised) for an empty one.
    std::string targetPath(const std::string& path);
    // Edits the list inside a locked read-modify-write of the whole domain, so
    // a concurrent editor of the login items (the system, the pane) loses
    // nothing. `edit` returns false to leave the domain as it is.
    void updateLoginItems(const std::function<bool(Value::Array& items)>& edit);

    ProgramSettings& m_settings;
    Application& m_application;
};

} // namespace velmora
