#pragma once

#include "platform/DelayedCall.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// What the settings pane asks of the desktop beyond the agent's services:
// starting the agent, sending the user to the accessibility settings, and
// the toolkit check of the run switch.
class PaneServices {
public:
    virtual ~PaneServices() = default;

    // Called, from the run loop, with a launched program's wait status (as
    // waitpid() gives it) when it ends while this process still runs.
    using ExitHandler = std::function<void(int waitStatus)>;

    // Starts the program at `path` with `arguments` as a separate process and
    // returns at once, without waiting for it to come up. Nothing when it
    // could not be started (missing, not executable); a handle says nothing
    // about whether it keeps running: `ended`, if given, says when it stops,
    // as long as the handle lives (dropping it leaves the program running).
    [[nodiscard]] virtual std::optional<DelayedCall> launchApplicationAtPath(const std::string& path, const std::vector<std::string>& arguments = {},
        ExitHandler ended = {}) = 0;

    // Shows the desktop's own settings panel for accessibility. False where
    // the desktop has none or it could not be opened; the caller then shows
    // accessibilityInstructions() instead.
    virtual bool openAccessibilitySettings() = 0;
    // How to switch assistive access on by hand on this desktop, in a few
    // sentences for a person; never empty.
    virtual std::string accessibilityInstructions() = 0;

    // Why this desktop cannot put the pointer back after a snap, in a
    // sentence for a person; "" where it can.
    virtual std::string snapBackUnavailableReason() = 0;
    // Why the desktop will not let the agent at `agentPath` move the pointer
    // at all; empty where it will, or cannot be told before the agent tries.
    virtual std::string pointerMoveRefusalReason(const std::string& agentPath)
    {
        (void)agentPath;
        return {};
    }

    // The desktop toolkit's version as one number, major * 100 + minor
    // (3.24 gives 324); 0 when no toolkit is installed.
    virtual double toolkitVersionNumber() = 0;
};

} // namespace velmora
