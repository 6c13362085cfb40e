#pragma once

#include "agent/process/ControlEndpoint.h"
#include "shared/update/ProgramInfo.h"

namespace velmora {

// The control notifications as the agent and the pane both name them.
inline constexpr const char* ZQK_VelmoraAreYouRunning = "ZQK_VelmoraAreYouRunning";
inline constexpr const char* ZQK_VelmoraIsRunningNotification = "ZQK_VelmoraIsRunningNotification";
inline constexpr const char* ZQK_VelmoraMustQuitNotification = "ZQK_VelmoraMustQuitNotification";
inline constexpr const char* ZQK_VelmoraWillTerminate = "ZQK_VelmoraWillTerminate";
inline constexpr const char* ZQK_VelmoraMustUpdatePrefsNotification = "ZQK_VelmoraMustUpdatePrefsNotification";

// The agent's communicator with the settings pane.
class VelmoraControlEndpoint : public ControlEndpoint {
public:
    using ControlEndpoint::ControlEndpoint;

    std::string askForStatusNotificationName() const override { return ZQK_VelmoraAreYouRunning; }
    std::string statusReturned() const override { return ZQK_VelmoraIsRunningNotification; }
    std::string mustQuitNotificationName() const override { return ZQK_VelmoraMustQuitNotification; }
    std::string willQuitNotificationName() const override { return ZQK_VelmoraWillTerminate; }
    std::string mustUpdatePrefsNotificationName() const override { return ZQK_VelmoraMustUpdatePrefsNotification; }
    std::string versionString() const override { return ProgramInfo::buildVersion(); }
};

} // namespace velmora
