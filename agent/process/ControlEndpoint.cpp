#include "agent/process/ControlEndpoint.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"

namespace velmora {

AgentChannel::ClaimResult ControlEndpoint::claimName()
{
    auto outcome = Platform::current().agentChannel().claim(versionString(),
        {.quit = [this] { mustQuit(); }, .reload = [this] { requestPreferencesUpdate(); }});
    m_claim = std::move(outcome.claim);
    return outcome.result;
}

void ControlEndpoint::setup()
{
    auto& platform = Platform::current();
    auto& distributed = platform.distributedNotificationCenter();
    m_observations.push_back(distributed.addObserver(mustQuitNotificationName(), [this](const std::string&) { mustQuit(); }));
    m_observations.push_back(distributed.addObserver(askForStatusNotificationName(), [this](const std::string&) { answerAmRunning(); }));
    m_observations.push_back(distributed.addObserver(mustUpdatePrefsNotificationName(), [this](const std::string&) { requestPreferencesUpdate(); }));
    m_observations.push_back(platform.localNotificationCenter().addObserver(kWillTerminateNotification, nullptr,
        [this](const Notification&) { appWillQuit(); }));
    distributed.postNotificationName(statusReturned());
}

void ControlEndpoint::answerAmRunning()
{
    Platform::current().distributedNotificationCenter().postNotificationName(statusReturned());
}

void ControlEndpoint::mustQuit()
{
    auto& platform = Platform::current();
    platform.distributedNotificationCenter().postNotificationName(willQuitNotificationName());
    // Posts the will-terminate notification, which makes appWillQuit say it
    // once more; the pane takes the second notice like the first.
    platform.application().terminate();
}

void ControlEndpoint::appWillQuit()
{
    auto& platform = Platform::current();
    platform.distributedNotificationCenter().postNotificationName(willQuitNotificationName());
    // An alert's loop keeps serving orders, so that a quit (from the pane, or
    // the session's SIGTERM at logout) need not wait for someone to answer
    // it; the alert is closed unanswered, or the loop would go on until then.
    platform.alerts().abortModal();
}

void ControlEndpoint::requestPreferencesUpdate()
{
    if (preferencesUpdatePending())
        return;
    m_pendingUpdate = Platform::current().runLoop().scheduleTimer(0, TimerRepeats::No, [this] { updatePreferences(); });
}

void ControlEndpoint::updatePreferences()
{
    m_pendingUpdate.reset();
    auto& platform = Platform::current();
    platform.standardUserDefaults().synchronize();
    platform.localNotificationCenter().post(ZQK_VelmoraPrefsUpdated, this);
}

} // namespace velmora
