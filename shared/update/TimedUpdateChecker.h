#pragma once

#include "shared/update/ProgramInfo.h"
#include "shared/update/UpdateChecker.h"
#include "shared/update/UpdateCheckerDelegate.h"

#include <memory>

namespace velmora {

class Platform;
class ProgramSettings;
class RunLoop;
class Timer;

// The agent's daily update check. Every 24 hours, when the user allows it
// ("shouldCheckForUpdatesDaily", re-read at each firing), it runs a silent
// check: only an available update reaches the user. A check the user asks
// for reports every outcome. No check at start-up; every agent start restarts
// the 24-hour count.
class TimedUpdateChecker final : private UpdateCheckerDelegate {
public:
    static constexpr double kUpdateInterval = 86400.0;
    static constexpr const char* kAppName = "Velmora";
    static constexpr const char* kShouldCheckForUpdatesDaily = "shouldCheckForUpdatesDaily";

    // `agentInfo` gives the versions and the feed host (the agent's
    // information values by default). Sets up at once.
    // The desktop services the schedule and its checks use; they outlive it.
    struct Services {
        UpdateChecker::Services checker;
        RunLoop& runLoop;
        ProgramSettings& settings;

        static Services of(Platform& platform);
    };

    explicit TimedUpdateChecker(const Services& services, ProgramInfo agentInfo = ProgramInfo::agent());
    ~TimedUpdateChecker() override;
    TimedUpdateChecker(const TimedUpdateChecker&) = delete;
    TimedUpdateChecker& operator=(const TimedUpdateChecker&) = delete;

    // Builds the checker and the timer; only the first call does anything.
    void setupUpdater();
    // The timer's action: a silent check when daily checks are allowed.
    void updateTimer();
    // A check whose every outcome is shown; the preference is not consulted.
    void checkForUpdatesVerbosely();

    UpdateChecker& checker() { return *m_checker; }
    bool showVerboseUI() const { return m_showVerboseUI; }

private:
    // UpdateCheckerDelegate
    std::optional<bool> shouldShowVerboseUI() override { return m_showVerboseUI; }
    void updateCheckFinished() override { m_showVerboseUI = false; }

    Services m_services;
    ProgramInfo m_programInfo;
    std::unique_ptr<UpdateChecker> m_checker;
    bool m_showVerboseUI{false};
    std::unique_ptr<Timer> m_updateTimer;
};

} // namespace velmora
