#pragma once

#include <memory>

namespace velmora {

class InstallPathGuard;
class Platform;
class AppTracker;
class FeedbackSound;
class SnapBackCoordinator;
class TimedUpdateChecker;
class VelmoraControlEndpoint;

// Builds the agent's long-lived components once, in a fixed order, and owns
// them for the life of the process. The components find each other only
// through notifications; nothing else reads these members.
class Agent {
public:
    // `platform` is not owned and must outlive the agent.
    explicit Agent(Platform& platform);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    // The start-up sequence. Runs once, on the main thread, before the run
    // loop dispatches anything; a second call does nothing. False when this
    // agent must end at once: another one already runs (which is no error),
    // or the session would not give it the agent's name; the log says which.
    bool start();
    // Why the last start() returned false.
    bool anotherAgentRuns() const { return m_anotherAgentRuns; }

    AppTracker* appTracker() const { return m_appTracker.get(); }
    FeedbackSound* feedbackSound() const { return m_feedbackSound.get(); }
    SnapBackCoordinator* mouseMoveListener() const { return m_mouseMoveListener.get(); }
    TimedUpdateChecker* updateChecker() const { return m_updateChecker.get(); }
    VelmoraControlEndpoint* communicator() const { return m_communicator.get(); }
    InstallPathGuard* pathGuardian() const { return m_pathGuardian.get(); }

private:
    // Whether accessibility is on (how to switch it on when off) and how many
    // applications the first look found to watch.
    void logWhatIsWatched();

    Platform& m_platform;
    bool m_awoken{false};
    bool m_started{false};
    bool m_anotherAgentRuns{false};
    std::unique_ptr<AppTracker> m_appTracker;
    std::unique_ptr<FeedbackSound> m_feedbackSound;
    std::unique_ptr<SnapBackCoordinator> m_mouseMoveListener;
    std::unique_ptr<VelmoraControlEndpoint> m_communicator;
    std::unique_ptr<TimedUpdateChecker> m_updateChecker;
    std::unique_ptr<InstallPathGuard> m_pathGuardian;
};

} // namespace velmora
