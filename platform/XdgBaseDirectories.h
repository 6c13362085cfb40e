#pragma once

#include <string>
#include <vector>

namespace velmora {

// The user's and the system's XDG base directories as GLib finds them. GLib
// reads them once per process, so a change of the environment later on is
// not seen. Relative paths, which the XDG rules call invalid, give way to the
// defaults under the home folder (or, for the system's, are left out).
class XdgBaseDirectories {
public:
    // $XDG_CONFIG_HOME, else ~/.config.
    static std::string configHome();
    // $XDG_DATA_HOME, else ~/.local/share.
    static std::string dataHome();
    // $XDG_DATA_DIRS, else /usr/local/share and /usr/share.
    static std::vector<std::string> dataDirectories();
};

} // namespace velmora
