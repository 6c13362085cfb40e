#include "shared/update/TimedUpdateChecker.h"

#include "platform/Platform.h"

namespace velmora {

TimedUpdateChecker::Services TimedUpdateChecker::Services::of(Platform& platform)
{
    return Services{.checker = UpdateChecker::Services::of(platform), .runLoop = platform.runLoop(), .settings = platform.standardUserDefaults()};
}

TimedUpdateChecker::TimedUpdateChecker(const Services& services, ProgramInfo agentInfo)
    : m_services(services)
    , m_programInfo(std::move(agentInfo))
{
    setupUpdater();
}

TimedUpdateChecker::~TimedUpdateChecker() = default;

void TimedUpdateChecker::setupUpdater()
{
    if (m_checker)
        return;
    m_checker = std::make_unique<UpdateChecker>(m_services.checker, m_programInfo);
    m_checker->setAppcastURL(m_programInfo.appcastURL());
    m_checker->setVersionString(m_programInfo.objectForInfoDictionaryKey(ProgramInfo::kVersionKey));
    m_checker->setDisplayVersionString(m_programInfo.objectForInfoDictionaryKey(ProgramInfo::kShortVersionKey));
    m_checker->setAppName(kAppName);
    m_checker->setDelegate(this);
    m_updateTimer = m_services.runLoop.scheduleTimer(kUpdateInterval, TimerRepeats::Yes, [this] { updateTimer(); });
}

void TimedUpdateChecker::updateTimer()
{
    ProgramSettings& defaults = m_services.settings;
    // The pane may have changed the setting since the agent last read it.
    defaults.synchronize();
    if (!defaults.boolForKey(kShouldCheckForUpdatesDaily))
        return;
    m_showVerboseUI = false;
    m_checker->checkForUpdate();
}

void TimedUpdateChecker::checkForUpdatesVerbosely()
{
    m_showVerboseUI = true;
    m_checker->checkForUpdate();
}

} // namespace velmora
