#pragma once

#include "agent/process/ControlEndpoint.h"
#include "shared/update/ProgramInfo.h"

namespace velmora {

// The control notifications as the agent and the pane both name them.
inline constexpr const char* kAskIfAgentRuns = "ZQK_VelmoraAreYouRunning";
inline constexpr const char* kAgentRuns = "ZQK_VelmoraIsRunningNotification";
inline constexpr const char* kAgentMustQuit = "ZQK_VelmoraMustQuitNotification";
inline constexpr const char* kAgentWillQuit = "ZQK_VelmoraWillTerminate";
inline constexpr const char* kAgentMustReloadPreferences = "ZQK_VelmoraMustUpdatePrefsNotification";

// The agent's communicator with the settings pane.
class VelmoraControlEndpoint : public ControlEndpoint {
public:
    using ControlEndpoint::ControlEndpoint;

    std::string askForStatusNotificationName() const override { return kAskIfAgentRuns; }
    std::string statusReturned() const override { return kAgentRuns; }
    std::string mustQuitNotificationName() const override { return kAgentMustQuit; }
    std::string willQuitNotificationName() const override { return kAgentWillQuit; }
    std::string mustUpdatePrefsNotificationName() const override { return kAgentMustReloadPreferences; }
    std::string versionString() const override { return ProgramInfo::buildVersion(); }
};

} // namespace velmora
