#pragma once

#include <optional>
#include <string>

namespace velmora {

// The user's login items: the ordered entry list under
// "AutoLaunchedApplicationDictionary" in the "loginwindow" preferences domain,
// each entry a dictionary with at least "Path" and "Hide". Entries are only
// ever added or removed whole, so keys written by others survive.
//
// A path argument is taken as given, without normalising it; an empty path
// stands for this program's own bundle (normalised). An entry matches a path
// when its own "Path", normalised, equals the path exactly. A missing domain
// or list reads as empty; nothing here reports an error.
class AutostartSynchronizer {
public:
    AutostartSynchronizer() = delete;

    // Re-reads the preferences first.
    static bool doesAppLaunchAtLogin(const std::string& path);
    // Appends {"Path": path, "Hide": false} unless an entry matches already.
    static void setAppLaunchesAtLoginToYESforApp(const std::string& path);
    // Removes the first matching entry and every entry equal to it in all keys
    // and values (paths compared normalised, the file an entry is kept in not
    // compared); matching entries that differ in some other key stay.
    static void setAppLaunchesAtLoginToNOforApp(const std::string& path);
    // Re-reads, adds or removes, then flushes.
    static void setAppLaunchesAtLogin(bool launches, const std::string& path);
    // The normalised path of the first entry whose bundle file name, without
    // extension, equals `name` without extension (case-sensitive); nothing
    // when none does. Reads the domain as last loaded, without re-reading.
    static std::optional<std::string> pathForAppthatLaunchesAtLoginNamed(const std::string& name);

    // Tilde expanded from $HOME, "." and ".." components resolved, doubled
    // and trailing slashes removed.
    static std::string stringByStandardizingPath(const std::string& path);
};

} // namespace velmora
