#include "shared/process/AgentExitStatus.h"

#include "platform/Gettext.h"

#include <csignal>
#include <cstring>
#include <sys/wait.h>

namespace velmora {

// static
std::string AgentExitStatus::describe(int waitStatus)
{
    if (WIFSIGNALED(waitStatus))
        // TRANSLATORS: why the agent ended: "it was ended by signal 9 (Killed)".
        return i18n::format(_("it was ended by signal %d (%s)"), WTERMSIG(waitStatus), strsignal(WTERMSIG(waitStatus)));
    if (!WIFEXITED(waitStatus))
        return _("it stopped");
    switch (WEXITSTATUS(waitStatus)) {
    case kNoDisplay:
        return _("it found no X display to watch (DISPLAY is not set, or its X server cannot be reached)");
    case kNoSessionBus:
        return _("it found no session bus (DBUS_SESSION_BUS_ADDRESS is not set, or its bus cannot be reached)");
    case kNoAccessibilityBus:
        return i18n::format(_("the desktop's accessibility bus did not come up within %d seconds (is support for assistive technologies switched on?)"),
            static_cast<int>(kAccessibilityBusPatience));
    default:
        return i18n::format(_("it ended with exit code %d"), WEXITSTATUS(waitStatus));
    }
}

} // namespace velmora
