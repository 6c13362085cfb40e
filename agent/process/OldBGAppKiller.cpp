#include "agent/process/OldBGAppKiller.h"

#include "agent/process/ProcessInformer.h"
#include "platform/NotFound.h"
#include "platform/Platform.h"
#include "shared/loginitems/LoginItemsSynchronizer.h"

namespace velmora {

namespace {
// The older agent's bundle was velmorabg.app; its process and its login item
// carry that name. The current agent's "VelmoraBG" differs in case on purpose.
constexpr const char* kOldAgentName = "velmorabg";
} // namespace

void OldBGAppKiller::killOldVelmoraBG()
{
    OldBGAppKiller killer;
    killer.killOldVLBG();
}

void OldBGAppKiller::killOldVLBG()
{
    if (oldVelmoraIsRunning())
        stopVelmora();
}

bool OldBGAppKiller::oldVelmoraIsRunning()
{
    return ProcessInformer::processIDForProcessNamed(kOldAgentName) != kNSNotFound;
}

void OldBGAppKiller::stopVelmora()
{
    pid_t pid = ProcessInformer::processIDForProcessNamed(kOldAgentName);
    if (pid != kNSNotFound)
        Platform::current().processManager().sendQuit(pid); // a failed send changes nothing below

    auto path = oldVelmoraBGPath();
    if (path && !path->empty())
        LoginItemsSynchronizer::setAppLaunchesAtLogin(false, *path);
}

std::optional<std::string> OldBGAppKiller::oldVelmoraBGPath()
{
    return LoginItemsSynchronizer::pathForAppthatLaunchesAtLoginNamed(kOldAgentName);
}

} // namespace velmora
