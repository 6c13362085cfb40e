#pragma once

#include "platform/Platform.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/UpdateFeed.h"

#include <string>

namespace velmora {

// `velmora check-for-updates`: the pane's manual check run from a terminal.
// Prints what the alert would say instead of showing it, and opens nothing.
class CheckForUpdatesCommand {
public:
    static constexpr int kExitUpToDate = 0;
    static constexpr int kExitFailure = 1;
    static constexpr int kExitUpdateAvailable = 10;

    struct Result {
        int exitCode{kExitFailure};
        std::string text; // ends with a line break
    };

    // Checks as the pane does (the pane's versions and feed address from
    // `paneInfo`), running the installed platform's run loop until the check
    // ends: up to date (0), a newer version with its release-notes address
    // (10), or the failure (1). Never waits much longer than `timeoutInterval`.
    static Result run(Platform& platform, const ProgramInfo& paneInfo = ProgramInfo::pane(),
                      double timeoutInterval = UpdateFeed::kTimeoutInterval);
};

} // namespace velmora
