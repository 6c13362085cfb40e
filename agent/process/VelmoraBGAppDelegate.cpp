#include "agent/process/VelmoraBGAppDelegate.h"

#include "agent/process/AppPathGuardian.h"
#include "agent/process/OldBGAppKiller.h"
#include "agent/process/PreffPaneCommunicator.h"
#include "agent/snapping/AppsObservers.h"
#include "agent/snapping/FeedbackSound.h"
#include "agent/snapping/MouseMoveListener.h"
#include "platform/Platform.h"
#include "platform/Gettext.h"
#include "shared/update/TimedUpdateChecker.h"

namespace velmora {

VelmoraBGAppDelegate::VelmoraBGAppDelegate() = default;

VelmoraBGAppDelegate::~VelmoraBGAppDelegate()
{
    // Release order matters: the tracker's observers go before the listeners
    // of the notifications they post.
    m_appsObservers.reset();
    m_feedbackSound.reset();
    m_mouseMoveListener.reset();
    m_communicator.reset();
    m_updateChecker.reset();
    m_pathGuardian.reset();
}

bool VelmoraBGAppDelegate::awakeFromNib()
{
    if (m_awoken)
        return m_started;
    m_awoken = true;

    // First of all: a second agent would snap every dialog twice.
    m_communicator = std::make_unique<PreffPaneCommunicator>();
    switch (m_communicator->claimName()) {
    case AgentChannel::ClaimResult::Owned:
        break;
    case AgentChannel::ClaimResult::HeldByAnother:
        m_anotherAgentRuns = true;
        NSLog("another agent is already running; this one ends");
        m_communicator.reset();
        return false;
    case AgentChannel::ClaimResult::Failed:
        NSLog("the session bus did not give this agent its name; it ends");
        m_communicator.reset();
        return false;
    }

    // An older generation must be gone before our first observer exists.
    OldBGAppKiller::killOldVelmoraBG();

    m_updateChecker = std::make_unique<TimedUpdateChecker>();

    // The tracker observes every application at once and may already snap
    // here, before the sound and the snap-back coordinator exist: such a
    // first snap is silent and never snapped back.
    m_appsObservers = std::make_unique<AppsObservers>();
    logWhatIsWatched();
    m_feedbackSound = std::make_unique<FeedbackSound>();
    m_mouseMoveListener = std::make_unique<MouseMoveListener>();

    // Last: announcing "running" tells the pane everything is in place.
    m_communicator->setup();
    m_started = true;
    // From here on the agent ends itself once its program is moved away.
    m_pathGuardian = std::make_unique<AppPathGuardian>();
    m_pathGuardian->start();
    return true;
}

void VelmoraBGAppDelegate::logWhatIsWatched()
{
    // Without accessibility the agent runs but sees nothing: the one thing a
    // user starting it from a terminal must learn at once, with the remedy.
    auto& platform = Platform::current();
    if (platform.accessibility().isAPIEnabled())
        // TRANSLATORS: one of the agent's first lines on its terminal.
        NSLog(_("Accessibility: on"));
    else
        NSLog(std::string(_("Accessibility: off: no application can be watched until it is on.")) + " " + platform.paneServices().accessibilityInstructions());
    const size_t watched = m_appsObservers->appsObservers().size();
    NSLog(i18n::format(ngettext("Watching %zu application", "Watching %zu applications", watched), watched));
}

} // namespace velmora
