#pragma once

#include "platform/NotificationCenter.h"
#include "platform/ProcessManager.h"
#include "platform/RunLoop.h"
#include "platform/SystemLog.h"
#include "platform/linux/SourceGuard.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop {

// This program: its executable is its bundle.
class LinuxApplication final : public Application {
public:
    // Both are borrowed and outlive the application object.
    LinuxApplication(NotificationCenter& localCenter, RunLoop& runLoop);

    // The executable this process was started from (/proc/self/exe). The
    // link follows a renamed file, so it is read once, at start-up: a later
    // fileExists() on it then notices a move.
    std::string programPath() override;
    bool fileExists(const std::string& path) override;
    void terminate() override;

    // Ends the program the orderly way (terminate(): the will-terminate
    // notice, then the loop stops) on SIGTERM, which a logout sends, and on
    // SIGINT and SIGHUP from a terminal, with a line in `log` (borrowed,
    // outlives the application). Without it the signal's default action
    // would end the process in the middle of whatever it was doing.
    void terminateOnSignals(SystemLog& log);

private:
    struct SignalWatch {
        LinuxApplication* application;
        SystemLog* log;
        int number;
        SourceGuard source;
    };
    static gboolean onSignal(gpointer data);

    NotificationCenter& m_localCenter;
    RunLoop& m_runLoop;
    std::string m_programPath;
    std::vector<std::unique_ptr<SignalWatch>> m_signalWatches;
};

} // namespace velmora::linux_desktop
