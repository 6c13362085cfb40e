#pragma once

#include <string>

namespace velmora {

// How an agent started by the pane ends when it cannot watch the desktop it
// was started on, and what the pane tells the user of it. Exit codes are the
// only channel: without a session bus the agent has no other way to answer.
class AgentExitStatus {
public:
    AgentExitStatus() = delete;

    static constexpr int kNoDisplay = 20;
    static constexpr int kNoSessionBus = 21;
    static constexpr int kNoAccessibilityBus = 22;

    // The pane starts the agent with this argument: where there is no desktop
    // to watch it exits with one of the codes above, instead of playing the
    // demo desktop or waiting for the accessibility bus for good.
    static constexpr const char* kFailWithoutDesktopOption = "--fail-without-desktop";
    // How long such an agent waits for the accessibility bus: well inside
    // the time `velmora start` waits for its announcement.
    static constexpr double kAccessibilityBusPatience = 5.0;

    // Why the agent did not start watching, from its wait status (as
    // waitpid() gives it), as the end of a sentence.
    static std::string describe(int waitStatus);
};

} // namespace velmora
