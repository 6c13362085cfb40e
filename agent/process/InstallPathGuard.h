#pragma once

#include "platform/Platform.h"
#include "platform/RunLoop.h"

#include <memory>
#include <string>

namespace velmora {

// Ends the agent once its own program is no longer where it was started from
// (moved, renamed or deleted): a running agent whose files have gone would
// keep running the old code. Checked at start and then on a timer, never on
// the snap path: a snap must not wait on the file system.
class InstallPathGuard {
public:
    // A moved agent should not outlive the move by long, and one look at the
    // file system a minute costs nothing measurable.
    static constexpr double kCheckInterval = 60.0;

    // `platform` is not owned and must outlive the guard.
    explicit InstallPathGuard(Platform& platform) : m_platform(platform) { }
    InstallPathGuard(const InstallPathGuard&) = delete;
    InstallPathGuard& operator=(const InstallPathGuard&) = delete;

    // Records the path, checks it now, then every kCheckInterval seconds on
    // the run loop. A second call does nothing.
    void start();
    // Learns the path if it is not known yet, then ends the agent if it is gone.
    void check();

    // Records the program path as the process knows it now.
    void getData();
    // Logs the move and asks the application to terminate.
    void quitAfterMove();

    // "" until the first check that could tell it; never changes afterwards.
    const std::string& appPath() const { return m_appPath; }

private:
    Platform& m_platform;
    std::string m_appPath;
    std::unique_ptr<Timer> m_timer; // owned; destroying it stops the checks
};

} // namespace velmora
