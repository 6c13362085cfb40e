#include "shared/process/AgentExitStatus.h"

#include <csignal>
#include <cstring>
#include <sys/wait.h>

namespace velmora {

// static
std::string AgentExitStatus::describe(int waitStatus)
{
    if (WIFSIGNALED(waitStatus))
        return std::string("it was ended by signal ") + std::to_string(WTERMSIG(waitStatus)) + " (" + strsignal(WTERMSIG(waitStatus)) + ")";
    if (!WIFEXITED(waitStatus))
        return "it stopped";
    switch (WEXITSTATUS(waitStatus)) {
    case kNoDisplay:
        return "it found no X display to watch (DISPLAY is not set, or its X server cannot be reached)";
    case kNoSessionBus:
        return "it found no session bus (DBUS_SESSION_BUS_ADDRESS is not set, or its bus cannot be reached)";
    case kNoAccessibilityBus:
        return "the desktop's accessibility bus did not come up within " + std::to_string(static_cast<int>(kAccessibilityBusPatience))
            + " seconds (is support for assistive technologies switched on?)";
    default:
        return "it ended with exit code " + std::to_string(WEXITSTATUS(waitStatus));
    }
}

} // namespace velmora
