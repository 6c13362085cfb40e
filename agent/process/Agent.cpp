#include "agent/process/Agent.h"

#include "agent/process/InstallPathGuard.h"
#include "agent/process/LegacyAgentStopper.h"
#include "agent/process/VelmoraControlEndpoint.h"
#include "agent/snapping/AppTracker.h"
#include "agent/snapping/FeedbackSound.h"
#include "agent/snapping/SnapBackCoordinator.h"
#include "platform/Platform.h"
#include "platform/Gettext.h"
#include "shared/update/TimedUpdateChecker.h"

namespace velmora {

Agent::Agent(Platform& platform) : m_platform(platform) { }

Agent::~Agent()
{
    // Release order matters: the tracker's observers go before the listeners
    // of the notifications they post.
    m_appTracker.reset();
    m_feedbackSound.reset();
    m_mouseMoveListener.reset();
    m_communicator.reset();
    m_updateChecker.reset();
    m_pathGuardian.reset();
}

bool Agent::start()
{
    if (m_awoken)
        return m_started;
    m_awoken = true;

    // First of all: a second agent would snap every dialog twice.
    m_communicator = std::make_unique<VelmoraControlEndpoint>(ControlEndpoint::Services::of(m_platform));
    switch (m_communicator->claimName()) {
    case AgentChannel::ClaimResult::Owned:
        break;
    case AgentChannel::ClaimResult::HeldByAnother:
        m_anotherAgentRuns = true;
        logMessage("another agent is already running; this one ends");
        m_communicator.reset();
        return false;
    case AgentChannel::ClaimResult::Failed:
        logMessage("the session bus did not give this agent its name; it ends");
        m_communicator.reset();
        return false;
    }

    // An older generation must be gone before our first observer exists.
    LegacyAgentStopper::stopAtStartup(m_platform);

    m_updateChecker = std::make_unique<TimedUpdateChecker>(TimedUpdateChecker::Services::of(m_platform));

    // The tracker observes every application at once and may already snap
    // here, before the sound and the snap-back coordinator exist: such a
    // first snap is silent and never snapped back.
    m_appTracker = std::make_unique<AppTracker>(m_platform);
    logWhatIsWatched();
    m_feedbackSound = std::make_unique<FeedbackSound>(m_platform);
    m_mouseMoveListener = std::make_unique<SnapBackCoordinator>(m_platform);

    // Last: announcing "running" tells the pane everything is in place.
    m_communicator->setup();
    m_started = true;
    // From here on the agent ends itself once its program is moved away.
    m_pathGuardian = std::make_unique<InstallPathGuard>(m_platform);
    m_pathGuardian->start();
    return true;
}

void Agent::logWhatIsWatched()
{
    // Without accessibility the agent runs but sees nothing: the one thing a
    // user starting it from a terminal must learn at once, with the remedy.
    Platform& platform = m_platform;
    if (platform.accessibility().isAPIEnabled())
        // TRANSLATORS: one of the agent's first lines on its terminal.
        logMessage(_("Accessibility: on"));
    else
        logMessage(std::string(_("Accessibility: off: no application can be watched until it is on.")) + " " + platform.paneServices().accessibilityInstructions());
    const size_t watched = m_appTracker->observers().size();
    logMessage(i18n::format(ngettext("Watching %zu application", "Watching %zu applications", watched), watched));
}

} // namespace velmora
