#pragma once

#include "platform/NotificationCenter.h"
#include "platform/ProcessManager.h"
#include "platform/RunLoop.h"

#include <string>

namespace velmora::linux_desktop {

// This program: its executable is its bundle.
class LinuxApplication final : public Application {
public:
    // Both are borrowed and outlive the application object.
    LinuxApplication(NotificationCenter& localCenter, RunLoop& runLoop);

    // The executable this process was started from (/proc/self/exe). The
    // link follows a renamed file, so it is read once, at start-up: a later
    // fileExists() on it then notices a move.
    std::string bundlePath() override;
    bool fileExists(const std::string& path) override;
    void terminate() override;

private:
    NotificationCenter& m_localCenter;
    RunLoop& m_runLoop;
    std::string m_bundlePath;
};

} // namespace velmora::linux_desktop
