#pragma once

#include <string>
#include <vector>

namespace velmora::kde {

// Whether KWin will offer a program its fake-input interface: KWin grants it
// to a program whose executable is the Exec of an installed desktop entry
// listing org_kde_kwin_fake_input under X-KDE-Wayland-Interfaces (the whole
// Exec value is the path; KWin reads one entry of those that start the
// program). Read from the entries themselves, so that the settings window can
// tell before the agent tries.
class KWinAuthorisation {
public:
    static constexpr const char* kInterfacesKey = "X-KDE-Wayland-Interfaces";
    static constexpr const char* kFakeInput = "org_kde_kwin_fake_input";

    // The user's data folder, then the system's, as KWin looks them up.
    static std::vector<std::string> dataDirectories();

    // Whether the entries in `<directory>/applications` (and subfolders)
    // grant `executable` the interface: one does, and none that KWin could
    // read instead withholds it.
    static bool grantsFakeInput(const std::string& executable, const std::vector<std::string>& directories);

    // Why the agent at `executable` will not be let move the pointer; empty
    // when an entry grants it.
    static std::string refusalReason(const std::string& executable, const std::vector<std::string>& directories);
};

} // namespace velmora::kde
