#include "shared/update/CheckForUpdatesCommand.h"

#include "platform/Gettext.h"

#include "platform/Platform.h"
#include "shared/update/UpdateChecker.h"

#include <vector>

namespace velmora {

namespace {

// Takes the alerts down as text. The offer is declined, so nothing opens.
class TranscriptAlerts final : public AlertService {
public:
    std::optional<size_t> runModal(const Alert& alert) override
    {
        shown.push_back(alert);
        return alert.buttons.size() > 1 ? 1 : 0;
    }
    void abortModal() override { }

    std::vector<Alert> shown;
};

class StopWhenFinished final : public UpdateCheckerDelegate {
public:
    explicit StopWhenFinished(RunLoop& runLoop) : m_runLoop(runLoop) { }
    void updateCheckFinished() override
    {
        finished = true;
        m_runLoop.stop();
    }

    bool finished{false};

private:
    RunLoop& m_runLoop;
};

// Beyond the feed's own time-out, a margin for the alert step; only a fault
// of ours could use it.
constexpr double kReaperMargin = 5.0;

} // namespace

// static
CheckForUpdatesCommand::Result CheckForUpdatesCommand::run(Platform& platform, const ProgramInfo& paneInfo, double timeoutInterval)
{
    RunLoop& runLoop = platform.runLoop();
    TranscriptAlerts alerts;
    StopWhenFinished delegate(runLoop);

    UpdateChecker checker({.localCenter = platform.localNotificationCenter(), .alerts = alerts, .workspace = platform.workspace()}, paneInfo);
    checker.setAppcastURL(paneInfo.appcastURL());
    checker.setVersionString(paneInfo.objectForInfoDictionaryKey(ProgramInfo::kVersionKey));
    checker.setDisplayVersionString(paneInfo.objectForInfoDictionaryKey(ProgramInfo::kShortVersionKey));
    checker.setShouldShowFailureAlert(true);
    checker.setShouldShowUpToDateAlert(true);
    checker.setDelegate(&delegate);
    checker.appcast().setTimeoutInterval(timeoutInterval);

    if (checker.appcastURL().empty() || checker.versionString().empty())
        return {kExitFailure, std::string(_("Cannot check for updates: no update address or no version is configured.")) + "\n"};

    // On the loop's clock, as the feed's own time-out is: a simulated loop
    // that jumps its clock reaches that one first all the same. One wake-up,
    // not a poll while the server takes its time.
    DelayedCall reaper = runLoop.performAfterDelay(timeoutInterval + kReaperMargin, [&] { runLoop.stop(); });
    checker.checkForUpdate();
    runLoop.run();
    reaper.cancel();

    if (!delegate.finished || alerts.shown.empty())
        return {kExitFailure, std::string(_("The update check did not finish.")) + "\n"};

    const Alert& alert = alerts.shown.back();
    std::string text = alert.title + "\n\n" + alert.message;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    text += "\n";
    if (checker.outcome() == UpdateChecker::Outcome::UpToDate)
        return {kExitUpToDate, text};
    if (checker.outcome() == UpdateChecker::Outcome::UpdateOffered && checker.offeredItem())
        return {kExitUpdateAvailable, text + i18n::format(_("Release notes: %s"), checker.offeredItem()->releaseNotesURL().c_str()) + "\n"};
    return {kExitFailure, text};
}

} // namespace velmora
