#pragma once

#include <memory>
#include <string>

namespace velmora {

// Ends the agent once its own bundle is no longer where it was started from
// (moved, renamed or deleted): a running agent whose files have gone would
// keep running the old code. There is no timer; the check runs after every
// snap, so an idle agent notices at its next snap.
class AppPathGuardian {
public:
    // The one instance of the process, made on first use.
    static AppPathGuardian& shared();
    // The check, on the shared instance.
    static void checkPath();

    // Forgets the shared instance, so that the next check records the path
    // anew. For tests, where each simulated desktop is a fresh process.
    static void discardShared();

    // Records the bundle path as the process knows it now.
    void getData();
    // Logs the move and asks the application to terminate.
    void quitAfterMove();

    // "" until the first check; never changes afterwards.
    const std::string& appPath() const { return m_appPath; }

    AppPathGuardian(const AppPathGuardian&) = delete;
    AppPathGuardian& operator=(const AppPathGuardian&) = delete;

private:
    AppPathGuardian() = default;
    void check();

    std::string m_appPath;
};

} // namespace velmora
