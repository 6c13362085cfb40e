#pragma once

#include <memory>

namespace velmora {

class AppsObservers;
class FeedbackSound;
class MouseMoveListener;

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
    // loop dispatches anything; a second call does nothing.
    void awakeFromNib();

    AppsObservers* appsObservers() const { return m_appsObservers.get(); }
    FeedbackSound* feedbackSound() const { return m_feedbackSound.get(); }
    MouseMoveListener* mouseMoveListener() const { return m_mouseMoveListener.get(); }

private:
    bool m_awoken{false};
    // TODO(#8): the daily update checker is created first, before the tracker.
    std::unique_ptr<AppsObservers> m_appsObservers;
    std::unique_ptr<FeedbackSound> m_feedbackSound;
    std::unique_ptr<MouseMoveListener> m_mouseMoveListener;
    // TODO(#7): the pane communicator is created last and announces the agent.
};

} // namespace velmora
