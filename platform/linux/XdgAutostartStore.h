#pragma once

#include "platform/AutostartEntry.h"
#include "platform/SettingsStore.h"

#include <string>
#include <vector>

namespace velmora::linux_desktop {

// The login-items domain ("loginwindow") kept as XDG autostart entries, one
// desktop file per item in "<config>/autostart/". The domain reads as
// { "AutoLaunchedApplicationDictionary": [entry, ...] } where each entry is
// { "Path": the program the entry starts (the first word of Exec, unquoted,
//   "%%" read as "%"), "Hide": false,
//   "AutostartFile": the desktop file's name }, ordered by the files' age
// (oldest first, so an added item stands last) and then by name. Entries that
// are switched off (Hidden=true, or X-GNOME-Autostart-enabled=false) do not
// start at login and are not listed.
//
// update() only ever adds or deletes whole files: an entry removed from the
// list deletes its file, an entry without "AutostartFile" gets a new file of
// ours, and nothing else is touched, so another program's entry is never
// rewritten. Other keys of the domain are not stored. Our own processes
// serialise updates with an advisory lock; other programs do not take it.
//
// A new file takes its Name, Comment and Icon from the program's own launcher
// (a desktop entry under "<data dir>/applications/" whose Exec starts the
// same program), so session settings show it as that application; without
// one, it is named after the program's file.
//
// A new file's Exec line quotes and escapes the program by freedesktop.org's
// desktop-entry rules for Exec (double quotes; '"', '`', '$', '\' escaped; '%' as
// "%%"). A program whose path holds '%' is started as
// `sh -c 'exec "$0"' PROGRAM`, which GLib 2.74 launches correctly where it
// would drop an entry naming the program first; reading takes PROGRAM back.
class XdgAutostartStore final : public SettingsStore {
public:
    static constexpr const char* kDomain = "loginwindow";
    static constexpr const char* kListKey = "AutoLaunchedApplicationDictionary";
    static constexpr const char* kFileKey = kLoginItemFileKey;

    // "$XDG_CONFIG_HOME" when set to an absolute path, else "~/.config".
    static std::string defaultConfigDirectory();

    // The user's data folder, then the system's, as XDG orders them.
    static std::vector<std::string> defaultDataDirectories();

    // `configDirectory` holds "autostart/"; it is created on the first write.
    // Launchers are looked for under `dataDirectories`, first found first.
    explicit XdgAutostartStore(std::string configDirectory = defaultConfigDirectory(),
        std::vector<std::string> dataDirectories = defaultDataDirectories());

    const std::string& autostartDirectory() const { return m_autostartDirectory; }

    // Absent only when the autostart folder does not exist. Any domain name
    // other than "loginwindow" reads as absent and cannot be updated, and a
    // change that removes the whole domain is refused (false).
    std::optional<Value::Dictionary> read(const std::string& domain) override;
    bool update(const std::string& domain, const Change& change) override;

private:
    std::string m_configDirectory;
    std::string m_autostartDirectory;
    std::vector<std::string> m_dataDirectories;
};

} // namespace velmora::linux_desktop
