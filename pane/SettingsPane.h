#pragma once

#include "pane/IgnoredApplicationsController.h"
#include "pane/AgentController.h"
#include "platform/DelayedCall.h"

#include <memory>

namespace velmora {

class PaneWindow;
class Platform;

// The pane itself: reacts to being shown and hidden and hands the work to
// its controllers, which it owns and builds on the desktop it is given.
class SettingsPane {
public:
    static constexpr const char* kStartAnimatingNotification = "com.brightfen.pulsingbutton.startAnimating";
    static constexpr const char* kStopAnimatingNotification = "com.brightfen.pulsingbutton.stopAnimating";
    // The pulsing starts once the pane has been drawn.
    static constexpr double kPulsingButtonDelay = 0.1;

    // `platform` outlives the pane.
    explicit SettingsPane(Platform& platform);
    ~SettingsPane();
    SettingsPane(const SettingsPane&) = delete;
    SettingsPane& operator=(const SettingsPane&) = delete;

    // The desktop the pane was built on; whatever drives the pane (its
    // window, the commands) takes its services from here.
    Platform& platform() const { return m_platform; }
    AgentController& agentController() { return *m_agentController; }
    IgnoredApplicationsController& ignoredApplicationsController() { return *m_ignoredApplicationsController; }

    // The window that shows the pane (not owned); null while there is none.
    PaneWindow* window() const { return m_window; }
    void setWindow(PaneWindow* window) { m_window = window; }

    void mainViewDidLoad() { }
    void animateMouse() { }
    // The pane has been shown: asks the agent anew and refreshes the lists.
    void didSelect();
    // The pane is being hidden; it keeps listening to the agent.
    void didUnselect();
    void startAnimatingPulsingButton();
    void tabViewWillSelectTabViewItem();

private:
    Platform& m_platform;
    PaneWindow* m_window{nullptr};
    std::unique_ptr<AgentController> m_agentController;
    std::unique_ptr<IgnoredApplicationsController> m_ignoredApplicationsController;
    DelayedCall m_pulsingButtonStart; // cancelled when the pane goes
};

} // namespace velmora
