#include "agent/process/QuitNotificationWatcher.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"

namespace velmora {

AgentChannel::ClaimResult QuitNotificationWatcher::claimName()
{
    auto outcome = Platform::current().agentChannel().claim(versionString(),
        {.quit = [this] { mustQuit(); }, .reload = [this] { requestPreferencesUpdate(); }});
    m_claim = std::move(outcome.claim);
    return outcome.result;
}

void QuitNotificationWatcher::setup()
{
    auto& platform = Platform::current();
    auto& distributed = platform.distributedNotificationCenter();
    m_observations.push_back(distributed.addObserver(mustQuitNotificationName(), [this](const std::string&) { mustQuit(); }));
    m_observations.push_back(distributed.addObserver(askForStatusNotificationName(), [this](const std::string&) { answerAmRunning(); }));
    m_observations.push_back(distributed.addObserver(mustUpdatePrefsNotificationName(), [this](const std::string&) { requestPreferencesUpdate(); }));
    m_observations.push_back(platform.localNotificationCenter().addObserver(kNSApplicationWillTerminateNotification, nullptr,
        [this](const Notification&) { appWillQuit(); }));
    distributed.postNotificationName(statusReturned());
}

void QuitNotificationWatcher::answerAmRunning()
{
    Platform::current().distributedNotificationCenter().postNotificationName(statusReturned());
}

void QuitNotificationWatcher::mustQuit()
{
    auto& platform = Platform::current();
    platform.distributedNotificationCenter().postNotificationName(willQuitNotificationName());
    // Posts the will-terminate notification, which makes appWillQuit say it
    // once more; the pane takes the second notice like the first.
    platform.application().terminate();
}

void QuitNotificationWatcher::appWillQuit()
{
    auto& platform = Platform::current();
    platform.distributedNotificationCenter().postNotificationName(willQuitNotificationName());
    // An alert's loop keeps serving orders, so that a quit (from the pane, or
    // the session's SIGTERM at logout) need not wait for someone to answer
    // it; the alert is closed unanswered, or the loop would go on until then.
    platform.alerts().abortModal();
}

void QuitNotificationWatcher::requestPreferencesUpdate()
{
    if (preferencesUpdatePending())
        return;
    m_pendingUpdate = Platform::current().runLoop().scheduleTimer(0, TimerRepeats::No, [this] { updatePreferences(); });
}

void QuitNotificationWatcher::updatePreferences()
{
    m_pendingUpdate.reset();
    auto& platform = Platform::current();
    platform.standardUserDefaults().synchronize();
    platform.localNotificationCenter().post(ZQK_VelmoraPrefsUpdated, this);
}

} // namespace velmora
