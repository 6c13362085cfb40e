#include "agent/snapping/AppTracker.h"

#include "agent/process/ProcessInformer.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <algorithm>
#include <optional>
#include <set>

namespace velmora {

namespace {

// Applications the agent never snaps in, whatever the user's list says; they
// are written back into the list at every start.
constexpr const char* kAlwaysIgnoredApps[] = {"Moneydance", "V2C", "Address Book"};

// The processes, running as the user, whose dialogs the user meets between
// sessions: the lockers' unlock dialogs and the log-out dialogs of Xfce, MATE
// and KDE (GTK 3 and Qt, so on the accessibility bus). GNOME's lock screen and
// log-out dialog are drawn by the shell itself, and a greeter before login
// runs as another user: neither can be observed. Names as the first word of
// the command line, which /proc does not shorten.
constexpr const char* kSessionDialogProcessNames[] = {
    "xfce4-screensaver-dialog",
    "xfce4-session-logout",
    "mate-screensaver-dialog",
    "kscreenlocker_greet",
    "ksmserver-logout-greeter",
};

bool isSessionDialogProcess(const std::string& name)
{
    return std::find(std::begin(kSessionDialogProcessNames), std::end(kSessionDialogProcessNames), name)
        != std::end(kSessionDialogProcessNames);
}

pid_t pidOfRecord(const Value::Dictionary& record)
{
    return static_cast<pid_t>(valueForKey(record, kApplicationProcessIdKey).integerValue());
}

void appendStrings(const Value& list, std::vector<std::string>& out)
{
    if (auto entries = list.array()) {
        for (const auto& entry : *entries) {
            if (auto text = entry.string())
                out.push_back(*text);
        }
    }
}

} // namespace

AppTracker::AppTracker(Platform& platform)
    : m_platform(platform)
    , m_retries(platform.runLoop())
{
    reloadObservers();

    auto& workspaceCenter = platform.workspace().notificationCenter();
    m_launchObservation = workspaceCenter.addObserver(kApplicationLaunchedNotification, nullptr,
        [this](const Notification& notification) { addApp(notification); });
    m_terminateObservation = workspaceCenter.addObserver(kApplicationTerminatedNotification, nullptr,
        [this](const Notification& notification) { removeApp(notification); });
    m_prefsObservation = platform.localNotificationCenter().addObserver(kPreferencesReloaded, nullptr,
        [this](const Notification&) { reloadObservers(); });

    normaliseIgnoredApps();
}

AppTracker::~AppTracker()
{
    // Unsubscribe before the observers go, so no notification reaches a
    // half-destroyed tracker.
    m_prefsObservation.reset();
    m_terminateObservation.reset();
    m_launchObservation.reset();
    m_retries.cancelAll();
    ObserverTable dropped;
    dropped.swap(m_observers);
}

void AppTracker::normaliseIgnoredApps()
{
    // Read, merged and written back in one locked step: an entry the pane or
    // the velmora command adds or removes meanwhile is neither lost nor
    // brought back.
    auto& defaults = m_platform.standardUserDefaults();
    defaults.updatePersistentDomain(defaults.applicationDomain(), [](std::optional<Value::Dictionary>& domain) {
        if (!domain)
            domain.emplace();
        std::vector<std::string> entries;
        appendStrings(valueForKey(*domain, VelmoraPreferences::kOldIgnoredApps), entries);
        appendStrings(valueForKey(*domain, VelmoraPreferences::kIgnoredApps), entries);
        std::set<std::string> merged(std::begin(kAlwaysIgnoredApps), std::end(kAlwaysIgnoredApps));
        merged.insert(entries.begin(), entries.end());
        // The legacy key stays as it is: the pane's editor still removes entries from it.
        Value list(Value::Array(merged.begin(), merged.end()));
        if (valueForKey(*domain, VelmoraPreferences::kIgnoredApps) == list)
            return false;
        (*domain)[VelmoraPreferences::kIgnoredApps] = std::move(list);
        return true;
    });
}

void AppTracker::reloadObservers()
{
    {
        // Out of the table before they are destroyed, so the table never
        // holds an observer that is being torn down.
        ObserverTable dropped;
        dropped.swap(m_observers);
    }
    Platform& platform = m_platform;
    platform.standardUserDefaults().synchronize();
    for (const auto& info : platform.workspace().launchedApplications())
        addAppWithAppInfo(info.record());
    loadSessionDialogProcesses();
}

void AppTracker::addApp(const Notification& notification)
{
    addAppWithAppInfo(notification.userInfo);
}

void AppTracker::removeApp(const Notification& notification)
{
    removeObserverForAppWithPID(pidOfRecord(notification.userInfo));
}

void AppTracker::addAppWithAppInfo(const Value::Dictionary& record)
{
    // A session dialog is answered wherever it comes from; the user cannot
    // switch it off by putting its process on the list.
    const std::string* name = valueForKey(record, kApplicationNameKey).string();
    if (!(name && isSessionDialogProcess(*name)) && !appAllowsVelmora(record))
        return;

    if (auto* observer = addObserverForAppWithPID(pidOfRecord(record))) {
        observer->setAppInfo(ApplicationInfo::fromRecord(record));
        return;
    }

    const Value& countdownValue = valueForKey(record, kCountdownKey);
    const int64_t countdown = countdownValue.isNull() ? kDefaultCountdown : countdownValue.integerValue();
    if (countdown < 1) {
        logMessage("Could not connect to application \"" + valueForKey(record, kApplicationNameKey).description() + "\"");
        return;
    }

    Value::Dictionary retry = record;
    retry[kCountdownKey] = countdown - 1;
    m_retries.performAfterDelay(kRetryInterval, [this, retry = std::move(retry)] { addAppWithAppInfo(retry); });
}

FocusedWindowObserver* AppTracker::addObserverForAppWithPID(pid_t pid)
{
    if (auto it = m_observers.find(pid); it != m_observers.end())
        return it->second.get();

    auto observer = FocusedWindowObserver::create(m_platform, pid);
    if (!observer)
        return nullptr;
    FocusedWindowObserver* added = observer.get();
    m_observers.emplace(pid, std::move(observer));
    // An application that is frontmost with a dialog open is snapped to now,
    // not only at its next focus change.
    added->checkWindows();
    // Looked up again: whatever the check set off may have changed the table.
    auto it = m_observers.find(pid);
    return it != m_observers.end() && it->second.get() == added ? added : nullptr;
}

void AppTracker::removeObserverForAppWithPID(pid_t pid)
{
    // Taken out of the table first, destroyed at the end of the scope.
    auto removed = m_observers.extract(pid);
}

void AppTracker::loadSessionDialogProcesses()
{
    // Most of the time none runs: they come up when the screen locks or the
    // user logs out, and are then followed as launched applications.
    for (const char* name : kSessionDialogProcessNames) {
        const std::optional<pid_t> pid = ProcessInformer::pidOfProcessNamed(m_platform.processManager(), name);
        if (pid && !addObserverForAppWithPID(*pid))
            logMessage(std::string("couldn't add ") + name);
    }
}

bool AppTracker::appAllowsVelmora(const Value::Dictionary& record)
{
    const std::vector<std::string> ignored = ignoredApps();
    auto isIgnored = [&](const std::string& text) { return std::find(ignored.begin(), ignored.end(), text) != ignored.end(); };

    const Value& name = valueForKey(record, kApplicationNameKey);
    if (name.string() && isIgnored(*name.string()))
        return false;
    const std::string* bundle = valueForKey(record, kApplicationIdentifierKey).string();
    return !bundle || !isIgnored(*bundle);
}

std::vector<std::string> AppTracker::ignoredApps()
{
    auto& defaults = m_platform.standardUserDefaults();
    std::vector<std::string> entries;
    appendStrings(defaults.objectForKey(VelmoraPreferences::kOldIgnoredApps), entries);
    appendStrings(defaults.objectForKey(VelmoraPreferences::kIgnoredApps), entries);
    return entries;
}

} // namespace velmora
