#pragma once

#include "agent/snapping/FocusedWindowObserver.h"
#include "platform/DelayedCallGroup.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/Value.h"

#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// Keeps one focused-window observer for every running application the user
// has not excluded, plus one for each running session dialog process (a
// screen locker's unlock dialog, a log-out dialog). Follows launches
// and terminations, retries applications that cannot be observed yet, and
// rebuilds everything when the preferences change.
//
// Construction observes the running applications at once (which may move the
// pointer) and stores the normalised ignored list. Destruction unsubscribes
// and destroys every observer; retries still scheduled then do nothing.
class AppTracker {
public:
    using ObserverTable = std::map<pid_t, std::unique_ptr<FocusedWindowObserver>>;

    // Record key the tracker adds to the records it reschedules: attempts left.
    static constexpr const char* kCountdownKey = "countdown";
    // Attempts left after the first one, and the pause between two attempts:
    // an application gets about 20 s to finish launching.
    static constexpr int kDefaultCountdown = 20;
    static constexpr double kRetryInterval = 1.0;

    // `platform` is not owned and must outlive the tracker.
    explicit AppTracker(Platform& platform);
    ~AppTracker();
    AppTracker(const AppTracker&) = delete;
    AppTracker& operator=(const AppTracker&) = delete;

    // Drops every observer, re-reads the preferences and observes all running
    // applications and the session dialog processes again.
    void reloadObservers();
    // Workspace notifications; the user info is an application-info record.
    void addApp(const Notification& notification);
    void removeApp(const Notification& notification);

    // Observes the application of the record unless it is ignored (a session
    // dialog process never is); retries
    // once a second while it cannot be observed, 21 attempts in all.
    void addAppWithAppInfo(const Value::Dictionary& record);
    // The observer of a process, made (and given a first check) if there is
    // none yet; null when the process cannot be observed. Owned by the table.
    FocusedWindowObserver* addObserverForAppWithPID(pid_t pid);
    void removeObserverForAppWithPID(pid_t pid);
    // Observes the session dialog processes that run now, whatever the
    // ignored list says; logs each one that cannot be observed.
    void loadSessionDialogProcesses();

    // False when the record's name or bundle identifier is on the ignored list.
    bool appAllowsVelmora(const Value::Dictionary& record);
    // The legacy entries, then the current ones, as stored now.
    std::vector<std::string> ignoredApps();

    const ObserverTable& observers() const { return m_observers; }

private:
    void normaliseIgnoredApps();

    Platform& m_platform;
    ObserverTable m_observers;
    // One pending retry per application that could not be observed yet; the
    // tracker's end cancels them.
    DelayedCallGroup m_retries;
    NotificationObservation m_launchObservation;
    NotificationObservation m_terminateObservation;
    NotificationObservation m_prefsObservation;
};

} // namespace velmora
