#pragma once

#include "platform/PaneServices.h"

#include <functional>
#include <string>
#include <vector>

namespace velmora::sim {

// The pane's desktop services on the simulated desktop. A launch is recorded
// and handed to the launch handler, with which a test brings up an agent in
// the same process.
class SimPaneServices final : public PaneServices {
public:
    using LaunchHandler = std::function<bool(const std::string& path)>;

    std::optional<DelayedCall> launchApplicationAtPath(const std::string& path, const std::vector<std::string>& arguments = {},
        ExitHandler ended = {}) override;
    bool openAccessibilitySettings() override;
    std::string accessibilityInstructions() override;
    double toolkitVersionNumber() override { return m_toolkitVersionNumber; }
    std::string snapBackUnavailableReason() override { return m_snapBackUnavailableReason; }

    // Without a handler every launch succeeds and starts nothing.
    void setLaunchHandler(LaunchHandler handler) { m_launchHandler = std::move(handler); }
    const std::vector<std::string>& launches() const { return m_launches; }
    // The arguments of the last launch.
    const std::vector<std::string>& lastArguments() const { return m_lastArguments; }
    // The program of the last successful launch ends with `waitStatus`: its
    // exit handler runs (once; later calls do nothing).
    void endLastLaunched(int waitStatus);

    void setHasAccessibilitySettings(bool has) { m_hasAccessibilitySettings = has; }
    int accessibilitySettingsOpenCount() const { return m_accessibilitySettingsOpenCount; }

    void setToolkitVersionNumber(double number) { m_toolkitVersionNumber = number; }
    void setSnapBackUnavailableReason(std::string reason) { m_snapBackUnavailableReason = std::move(reason); }

private:
    LaunchHandler m_launchHandler;
    std::vector<std::string> m_launches;
    std::vector<std::string> m_lastArguments;
    // The last launch's exit handler, watched by the launcher's handle.
    std::shared_ptr<DelayedCall::Record> m_lastEnded;
    std::shared_ptr<int> m_lastWaitStatus;
    bool m_hasAccessibilitySettings{true};
    int m_accessibilitySettingsOpenCount{0};
    double m_toolkitVersionNumber{412}; // a current toolkit, 4.12
    std::string m_snapBackUnavailableReason;
};

} // namespace velmora::sim
