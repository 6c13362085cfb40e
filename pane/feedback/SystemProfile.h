#pragma once

#include "platform/Screens.h"
#include "platform/Value.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class Accessibility;
class PaneServices;
class ProgramSettings;

// The summary of the machine a feedback report may carry: distribution,
// kernel, processor and memory, desktop and session type, display server,
// screens and scale, whether the accessibility bus is on, toolkit versions,
// and Velmora's version and settings. It reads only system files and the
// session's environment, never the user's own files.
class SystemProfile {
public:
    // What only the main thread may ask the desktop for, taken before the
    // worker starts so that the worker shares nothing with the main thread.
    struct Snapshot {
        std::string velmoraVersion;
        Value::Dictionary settings;
        std::vector<Screen> screens;
        bool accessibilityEnabled{false};
        double toolkitVersionNumber{0}; // major * 100 + minor; 0 when none
        std::string curlVersion;
        std::string currentDesktop;     // $XDG_CURRENT_DESKTOP
        std::string sessionType;        // $XDG_SESSION_TYPE
        std::string waylandDisplay;     // $WAYLAND_DISPLAY
        std::string x11Display;         // $DISPLAY

        // Main thread only: reads these desktop services and the environment.
        static Snapshot take(ProgramSettings& settings, Screens& screens, Accessibility& accessibility, PaneServices& pane);
    };

    // One field of the system's os-release by its key ("PRETTY_NAME"); ""
    // when it has none.
    using OsInfo = std::function<std::string(const char* key)>;
    static std::string systemOsInfo(const char* key);

    // Where the system facts are read; tests point them elsewhere.
    struct Sources {
        OsInfo osInfo{&SystemProfile::systemOsInfo};
        std::string procDirectory{"/proc"};
    };

    // The profile text, built on any thread. Nothing when the text would not
    // be valid UTF-8 (a system file with stray bytes): the report then goes
    // without a profile.
    static std::optional<std::string> collect(const Snapshot& snapshot, const Sources& sources);
    static std::optional<std::string> collect(const Snapshot& snapshot);

    // The distribution's name from its os-release fields: PRETTY_NAME, else
    // NAME and VERSION; "" when it names none.
    static std::string distributionName(const OsInfo& osInfo);
};

} // namespace velmora
