#pragma once

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Workspace.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace velmora::linux_desktop {

class AtspiAccessibility;
class LinuxProcessManager;
class X11DisplayPower;

// The running applications are the processes with an AT-SPI application, in
// the registry's order, described from /proc: the program name, the pid, the
// executable, and as bundle identifier the id of the desktop file that starts
// that executable, where one is installed. Launch and termination follow the
// registry; screen sleep and wake follow the X server's power state; files
// and addresses open in the desktop's default handlers (GIO).
class LinuxWorkspace final : public Workspace {
public:
    // All borrowed; they outlive the workspace. `power` may be null (no
    // sleep/wake notifications then).
    LinuxWorkspace(AtspiAccessibility& accessibility, LinuxProcessManager& processes, X11DisplayPower* power, RunLoop& runLoop);
    ~LinuxWorkspace() override;
    LinuxWorkspace(const LinuxWorkspace&) = delete;
    LinuxWorkspace& operator=(const LinuxWorkspace&) = delete;

    std::vector<ApplicationInfo> launchedApplications() override;
    std::optional<ApplicationInfo> activeApplication() override;
    NotificationCenter& notificationCenter() override { return m_center; }
    bool openFile(const std::string& path) override;
    bool openURL(const std::string& url) override;

    // The description of one process; nothing when it has gone.
    std::optional<ApplicationInfo> describe(pid_t pid);
    // Checks the display power state now (the timer does so every kDpmsPollMs).
    void pollDisplayPower();

private:
    void onApplication(pid_t pid, bool launched);
    std::optional<std::string> desktopIdForExecutable(const std::string& path);

    AtspiAccessibility& m_accessibility;
    LinuxProcessManager& m_processes;
    X11DisplayPower* m_power; // not owned
    NotificationCenter m_center;
    std::unique_ptr<Timer> m_powerTimer;
    bool m_asleep{false};
    // What each launched application was, for its termination notice (its
    // /proc entry is gone by then).
    std::map<pid_t, ApplicationInfo> m_known;
    std::map<std::string, std::string> m_desktopIds; // executable name -> desktop-file id
    bool m_desktopIdsLoaded{false};
};

} // namespace velmora::linux_desktop
