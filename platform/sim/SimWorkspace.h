#pragma once

#include "platform/Workspace.h"

#include <string>
#include <vector>

namespace velmora::sim {

class SimDesktop;
class SimApplication;

// The workspace over the simulated applications. Its notification centre is
// where SimDesktop posts launches, terminations and display sleep and wake.
class SimWorkspace final : public Workspace {
public:
    SimWorkspace(SimDesktop& desktop, SimApplication& application);

    // Workspace overrides.
    // Running applications listed in the workspace, in launch order.
    std::vector<ApplicationInfo> launchedApplications() override;
    std::optional<ApplicationInfo> activeApplication() override;
    NotificationCenter& notificationCenter() override { return m_center; }
    // Recorded; false when no such sim file exists.
    bool openFile(const std::string& path) override;
    // Recorded; always handed over.
    bool openURL(const std::string& url) override;

    const std::vector<std::string>& openedFiles() const { return m_openedFiles; }
    const std::vector<std::string>& openedURLs() const { return m_openedURLs; }

private:
    SimDesktop& m_desktop;         // not owned; owns us
    SimApplication& m_application; // not owned; the file set lives there
    NotificationCenter m_center;
    std::vector<std::string> m_openedFiles;
    std::vector<std::string> m_openedURLs;
};

} // namespace velmora::sim
