#include "agent/process/LegacyAgentStopper.h"

#include "agent/process/ProcessInformer.h"
#include "platform/Platform.h"
#include "shared/loginitems/AutostartSynchronizer.h"

namespace velmora {

namespace {
// The older agent's bundle was velmorabg.app; its process and its login item
// carry that name. The current agent's "VelmoraBG" differs in case on purpose.
constexpr const char* kOldAgentName = "velmorabg";
} // namespace

void LegacyAgentStopper::stopAtStartup()
{
    LegacyAgentStopper killer;
    killer.stopIfRunning();
}

void LegacyAgentStopper::stopIfRunning()
{
    if (legacyAgentIsRunning())
        stopLegacyAgent();
}

bool LegacyAgentStopper::legacyAgentIsRunning()
{
    return ProcessInformer::pidOfProcessNamed(kOldAgentName).has_value();
}

void LegacyAgentStopper::stopLegacyAgent()
{
    if (const auto pid = ProcessInformer::pidOfProcessNamed(kOldAgentName))
        Platform::current().processManager().sendQuit(*pid); // a failed send changes nothing below

    auto path = legacyLoginItemPath();
    if (path && !path->empty())
        AutostartSynchronizer::of(Platform::current()).setLaunchesAtLogin(false, *path);
}

std::optional<std::string> LegacyAgentStopper::legacyLoginItemPath()
{
    return AutostartSynchronizer::of(Platform::current()).pathOfAutostartEntryNamed(kOldAgentName);
}

} // namespace velmora
