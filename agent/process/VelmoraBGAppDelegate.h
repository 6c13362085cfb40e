#pragma once

#include <memory>

namespace velmora {

class AppPathGuardian;
class AppsObservers;
class FeedbackSound;
class MouseMoveListener;
class TimedUpdateChecker;
class PreffPaneCommunicator;

// Builds the agent's long-lived components once, in a fixed order, and owns
// them for the life of the process. The components find each other only
// through notifications; nothing else reads these members.
class VelmoraBGAppDelegate {
public:
    VelmoraBGAppDelegate();
    ~VelmoraBGAppDelegate();
    VelmoraBGAppDelegate(const VelmoraBGAppDelegate&) = delete;
    VelmoraBGAppDelegate& operator=(const VelmoraBGAppDelegate&) = delete;

    // The start-up sequence. Runs once, on the main thread, before the run
    // loop dispatches anything; a second call does nothing. False when this
    // agent must end at once: another one already runs (which is no error),
    // or the session would not give it the agent's name; the log says which.
    bool awakeFromNib();
    // Why the last awakeFromNib() returned false.
    bool anotherAgentRuns() const { return m_anotherAgentRuns; }

    AppsObservers* appsObservers() const { return m_appsObservers.get(); }
    FeedbackSound* feedbackSound() const { return m_feedbackSound.get(); }
    MouseMoveListener* mouseMoveListener() const { return m_mouseMoveListener.get(); }
    TimedUpdateChecker* updateChecker() const { return m_updateChecker.get(); }
    PreffPaneCommunicator* communicator() const { return m_communicator.get(); }
    AppPathGuardian* pathGuardian() const { return m_pathGuardian.get(); }

private:
    // Whether accessibility is on (how to switch it on when off) and how many
    // applications the first look found to watch.
    void logWhatIsWatched();

    bool m_awoken{false};
    bool m_started{false};
    bool m_anotherAgentRuns{false};
    std::unique_ptr<AppsObservers> m_appsObservers;
    std::unique_ptr<FeedbackSound> m_feedbackSound;
    std::unique_ptr<MouseMoveListener> m_mouseMoveListener;
    std::unique_ptr<PreffPaneCommunicator> m_communicator;
    std::unique_ptr<TimedUpdateChecker> m_updateChecker;
    std::unique_ptr<AppPathGuardian> m_pathGuardian;
};

} // namespace velmora
