#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora {

class SettingsPane;

// The applications the agent leaves alone, from a terminal: `velmora ignore
// list`, `add` and `remove`. Goes through the settings window's table
// controller, so an entry is added and removed as the window does it.
// Answers the exit codes of VelmoraCommand.
class IgnoreListCommand {
public:
    // One line of `ignore list`.
    struct Entry {
        enum class Origin { BuiltIn, User, NotInstalled };
        std::string name;
        std::string entry; // as stored, and as `ignore remove` takes it
        Origin origin;
    };

    // `pane` and the streams (not owned) outlive the command.
    IgnoreListCommand(SettingsPane& pane, std::ostream& out, std::ostream& err);

    int list();
    int add(const std::string& name);
    int remove(const std::string& name);

    // Installed applications as the window shows them, then the built-in
    // entries without an application, then stored entries whose application
    // has gone.
    std::vector<Entry> entries();

private:
    // Every entry of the ignored list under either key, once each.
    std::vector<std::string> storedEntries();

    SettingsPane& m_pane;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace velmora
