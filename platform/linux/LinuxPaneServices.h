#pragma once

#include "platform/PaneServices.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora::linux_desktop {

// The pane's desktop services on Linux. Programs start detached: in a session
// of their own (a terminal's hang-up or Ctrl-C does not reach them), with no
// terminal for input or output. The settings panel is reaped by GLib's
// intermediate child; a launched application stays our child, reaped from the
// run loop, so that the pane hears when it ends.
class LinuxPaneServices final : public PaneServices {
public:
    // A desktop's own accessibility panel: the program (looked up on PATH),
    // its arguments, and the desktop names ($XDG_CURRENT_DESKTOP) it belongs to.
    struct SettingsPanel {
        std::vector<std::string> argv;
        std::vector<std::string> desktops;
    };
    static const std::vector<SettingsPanel>& settingsPanels();

    // Libraries tried in turn for toolkitVersionNumber(); the first that
    // loads answers. Tests name ones that do not exist.
    explicit LinuxPaneServices(std::vector<std::string> toolkitLibraries = {"libgtk-3.so.0", "libgtk-4.so.1"});

    // The program is this process's child, so its end can be heard: GLib
    // reaps it from the run loop, and calls `ended` then.
    std::optional<DelayedCall> launchApplicationAtPath(const std::string& path, const std::vector<std::string>& arguments = {},
        ExitHandler ended = {}) override;
    // The panel of the current desktop where it is installed, otherwise the
    // first installed panel of any desktop.
    bool openAccessibilitySettings() override;
    std::string accessibilityInstructions() override;
    // Read once from the toolkit library itself; the library stays loaded.
    double toolkitVersionNumber() override;
    // From the session's kind: a Wayland desktop keeps the pointer's
    // position from programs, unless `pointerReadable` (set by whoever picks
    // the desktop's backends) says its compositor tells; `howToEnable` is
    // added to the reason when the compositor could be made to.
    std::string snapBackUnavailableReason() override;
    std::string pointerMoveRefusalReason(const std::string& agentPath) override;
    struct WaylandPointerReading {
        std::function<bool()> pointerReadable;
        std::string howToEnable;
        // Why the compositor will not let that agent move the pointer; none
        // where nothing can be told before it tries.
        std::function<std::string(const std::string& agentPath)> moveRefusal;
    };
    void setWaylandPointerReading(WaylandPointerReading reading) { m_reading = std::move(reading); }

    // The command openAccessibilitySettings() would run, resolved on PATH;
    // nothing when no panel is installed.
    static std::optional<std::vector<std::string>> accessibilitySettingsCommand();

private:
    std::vector<std::string> m_toolkitLibraries;
    std::optional<double> m_toolkitVersion;
    WaylandPointerReading m_reading;
};

} // namespace velmora::linux_desktop
