#include "agent/process/LegacyAgentStopper.h"

#include "agent/process/ProcessInformer.h"
#include "shared/loginitems/AutostartSynchronizer.h"

namespace velmora {

namespace {
// The older agent's bundle was velmorabg.app; its process and its login item
// carry that name. The current agent's "VelmoraBG" differs in case on purpose.
constexpr const char* kOldAgentName = "velmorabg";
} // namespace

void LegacyAgentStopper::stopAtStartup(Platform& platform)
{
    LegacyAgentStopper killer(platform);
    killer.stopIfRunning();
}

void LegacyAgentStopper::stopIfRunning()
{
    if (legacyAgentIsRunning())
        stopLegacyAgent();
}

bool LegacyAgentStopper::legacyAgentIsRunning()
{
    return ProcessInformer::pidOfProcessNamed(m_platform.processManager(), kOldAgentName).has_value();
}

void LegacyAgentStopper::stopLegacyAgent()
{
    if (const auto pid = ProcessInformer::pidOfProcessNamed(m_platform.processManager(), kOldAgentName))
        m_platform.processManager().sendQuit(*pid); // a failed send changes nothing below

    auto path = legacyLoginItemPath();
    if (path && !path->empty())
        AutostartSynchronizer::of(m_platform).setLaunchesAtLogin(false, *path);
}

std::optional<std::string> LegacyAgentStopper::legacyLoginItemPath()
{
    return AutostartSynchronizer::of(m_platform).pathOfAutostartEntryNamed(kOldAgentName);
}

} // namespace velmora
