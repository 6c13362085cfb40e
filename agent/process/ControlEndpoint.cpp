#include "agent/process/ControlEndpoint.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"

namespace velmora {

ControlEndpoint::Services ControlEndpoint::Services::of(Platform& platform)
{
    return Services{
        .channel = platform.agentChannel(),
        .broadcast = platform.distributedNotificationCenter(),
        .localCenter = platform.localNotificationCenter(),
        .runLoop = platform.runLoop(),
        .settings = platform.standardUserDefaults(),
        .application = platform.application(),
        .alerts = platform.alerts(),
    };
}

AgentChannel::ClaimResult ControlEndpoint::claimName()
{
    auto outcome = m_services.channel.claim(versionString(),
        {.quit = [this] { mustQuit(); }, .reload = [this] { requestPreferencesUpdate(); }});
    m_claim = std::move(outcome.claim);
    return outcome.result;
}

void ControlEndpoint::setup()
{
    auto& distributed = m_services.broadcast;
    m_observations.push_back(distributed.addObserver(mustQuitNotificationName(), [this](const std::string&) { mustQuit(); }));
    m_observations.push_back(distributed.addObserver(askForStatusNotificationName(), [this](const std::string&) { answerAmRunning(); }));
    m_observations.push_back(distributed.addObserver(mustUpdatePrefsNotificationName(), [this](const std::string&) { requestPreferencesUpdate(); }));
    m_observations.push_back(m_services.localCenter.addObserver(kWillTerminateNotification, nullptr,
        [this](const Notification&) { appWillQuit(); }));
    distributed.postNotificationName(statusReturned());
}

void ControlEndpoint::answerAmRunning()
{
    m_services.broadcast.postNotificationName(statusReturned());
}

void ControlEndpoint::mustQuit()
{
    m_services.broadcast.postNotificationName(willQuitNotificationName());
    // Posts the will-terminate notification, which makes appWillQuit say it
    // once more; the pane takes the second notice like the first.
    m_services.application.terminate();
}

void ControlEndpoint::appWillQuit()
{
    m_services.broadcast.postNotificationName(willQuitNotificationName());
    // An alert's loop keeps serving orders, so that a quit (from the pane, or
    // the session's SIGTERM at logout) need not wait for someone to answer
    // it; the alert is closed unanswered, or the loop would go on until then.
    m_services.alerts.abortModal();
}

void ControlEndpoint::requestPreferencesUpdate()
{
    if (preferencesUpdatePending())
        return;
    m_pendingUpdate = m_services.runLoop.scheduleTimer(0, TimerRepeats::No, [this] { updatePreferences(); });
}

void ControlEndpoint::updatePreferences()
{
    m_pendingUpdate.reset();
    m_services.settings.synchronize();
    m_services.localCenter.post(kPreferencesReloaded, this);
}

} // namespace velmora
