#pragma once

#include "platform/Platform.h"

#include <memory>
#include <string>

namespace velmora {

// Which desktop a program runs on. The real one where it can be reached;
// otherwise the caller falls back to the simulated demo desktop.
class DesktopChooser {
public:
    DesktopChooser() = delete;

    // The agent watches applications and moves the pointer; the pane only
    // talks to the agent and edits the settings.
    enum class Purpose { Agent, Pane };

    // The user's real desktop (for the agent an X display, the session bus
    // and the accessibility bus; for the pane the session bus), with user
    // defaults for `applicationDomain` in the settings folder and login items
    // as autostart entries, or null when any of them is missing or this
    // build has no desktop backend. The reason for a null goes to standard
    // error. The agent's desktop does not count the accessibility bus as
    // missing: it waits for it (for good, or `accessibilityBusPatience`
    // seconds), and follows it when it restarts. `missingExitCode`, if given,
    // gets the AgentExitStatus code of what was missing, and 1 without a
    // desktop backend.
    static std::unique_ptr<Platform> realDesktop(const std::string& applicationDomain, const std::string& logIdentity,
        Purpose purpose = Purpose::Agent, double accessibilityBusPatience = 0, int* missingExitCode = nullptr);
};

} // namespace velmora
