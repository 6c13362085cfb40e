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

    bool launchApplicationAtPath(const std::string& path) override;
    bool openAccessibilitySettings() override;
    std::string accessibilityInstructions() override;
    double toolkitVersionNumber() override { return m_toolkitVersionNumber; }
    std::string snapBackUnavailableReason() override { return m_snapBackUnavailableReason; }

    // Without a handler every launch succeeds and starts nothing.
    void setLaunchHandler(LaunchHandler handler) { m_launchHandler = std::move(handler); }
    const std::vector<std::string>& launches() const { return m_launches; }

    void setHasAccessibilitySettings(bool has) { m_hasAccessibilitySettings = has; }
    int accessibilitySettingsOpenCount() const { return m_accessibilitySettingsOpenCount; }

    void setToolkitVersionNumber(double number) { m_toolkitVersionNumber = number; }
    void setSnapBackUnavailableReason(std::string reason) { m_snapBackUnavailableReason = std::move(reason); }

private:
    LaunchHandler m_launchHandler;
    std::vector<std::string> m_launches;
    bool m_hasAccessibilitySettings{true};
    int m_accessibilitySettingsOpenCount{0};
    double m_toolkitVersionNumber{412}; // a current toolkit, 4.12
    std::string m_snapBackUnavailableReason;
};

} // namespace velmora::sim
