#include "agent/snapping/MouseMoveListener.h"

#include "agent/accessibility/MouseMover.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/NotFound.h"
#include "platform/Platform.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <cmath>
#include <utility>

namespace velmora {

namespace {

std::string textForKey(const Value::Dictionary& userInfo, const char* key)
{
    const std::string* text = valueForKey(userInfo, key).string();
    return text ? *text : std::string();
}

} // namespace

MouseMoveListener::MouseMoveListener()
{
    setupObservers();
}

MouseMoveListener::~MouseMoveListener() = default;

void MouseMoveListener::setupObservers()
{
    NotificationCenter& center = Platform::current().localNotificationCenter();
    m_movedToObservation = center.addObserver(QK_VL_movedMouseToPoint, nullptr,
        [this](const Notification& n) { mouseWasMoved(n); });
    m_userMovedObservation = center.addObserver(QK_VL_UserMovedMouse, nullptr,
        [this](const Notification& n) { watcherReportedMouseMoved(n); });
    m_buttonGoneObservation = center.addObserver(QK_VL_OldDefaultButtonGone, nullptr,
        [this](const Notification& n) { watcherReportedElementDeleted(n); });
    m_buttonGoneAfterMoveObservation = center.addObserver(QK_VL_OldDefaultButtonGoneAfterMouseMoved, nullptr,
        [this](const Notification& n) { watcherReportedElementInvalid(n); });
    m_checkWillStartObservation = center.addObserver(kFocusedWindowCheckWillStart, nullptr,
        [this](const Notification&) { focusedWindowCheckWillStart(); });
    m_terminateObservation = Platform::current().workspace().notificationCenter().addObserver(
        kNSWorkspaceDidTerminateApplicationNotification, nullptr, [this](const Notification& n) { applicationTerminated(n); });
}

void MouseMoveListener::focusedWindowCheckWillStart()
{
    if (m_watchers.empty() || !m_watchers.front().watcher)
        return;
    m_watchers.front().watcher->reportIfElementGone();
}

void MouseMoveListener::applicationTerminated(const Notification& notification)
{
    if (m_watchers.empty() || !m_watchers.front().watcher)
        return;
    std::optional<ApplicationInfo> info = ApplicationInfo::fromRecord(notification.userInfo);
    if (info)
        m_watchers.front().watcher->applicationTerminated(info->pid);
}

void MouseMoveListener::mouseWasMoved(const Notification& notification)
{
    std::string endingText = textForKey(notification.userInfo, kEndingMouseLocation);
    std::string startingText = textForKey(notification.userInfo, kStartingMouseLocation);
    NSPoint ending = NSPointFromString(endingText);
    NSPoint starting = NSPointFromString(startingText);
    // The pointer did not actually go anywhere: nothing to come back from,
    // and an earlier snap is still worth watching.
    if (ending == starting)
        return;

    clearOldWatcher();
    // Where the pointer cannot be read, whether the user moved it cannot be
    // told either: putting it back could undo the user's own move.
    Platform& platform = Platform::current();
    if (!platform.pointer().abilities().readsPosition) {
        if (!m_toldSnapBackUnavailable && platform.standardUserDefaults().boolForKey(VelmoraPreferences::kSnapbackCursor)) {
            m_toldSnapBackUnavailable = true;
            NSLog(kSnapBackUnavailableMessage);
        }
        return;
    }
    auto watcher = UIElementUnderPointWatcher::initWithPointOverUIElement(ending);
    if (!watcher)
        return;
    m_watchers.insert(m_watchers.begin(), SnapRecord{std::move(startingText), std::move(endingText), std::move(watcher)});
}

void MouseMoveListener::watcherReportedMouseMoved(const Notification&)
{
    clearOldWatcher();
}

void MouseMoveListener::watcherReportedElementInvalid(const Notification&)
{
    clearOldWatcher();
}

void MouseMoveListener::watcherReportedElementDeleted(const Notification& notification)
{
    size_t index = indexOfWatcher(notification.object);
    if (index == static_cast<size_t>(kNSNotFound)) {
        NSLog("Couldn't find watcher");
        return;
    }
    const SnapRecord& record = m_watchers[index];
    NSPoint starting = NSPointFromString(record.startingMouseLocation);

    Platform& platform = Platform::current();
    bool snapBack = platform.standardUserDefaults().boolForKey(VelmoraPreferences::kSnapbackCursor)
        && pointerStillNear(record.endingMouseLocation)
        && (platform.workspace().activeApplication().has_value() || record.watcher->applicationGone());
    if (snapBack) {
        MouseMover::moveMouseToPoint(convertGlobalPointToCGPoint(starting));
        platform.localNotificationCenter().post(QK_VL_movedMouseBackFromPoint, this);
    }
    clearOldWatcher();
}

bool MouseMoveListener::pointerStillNear(const std::string& endingMouseLocation) const
{
    NSPoint current = currentMouseLocation();
    NSPoint ending = NSPointFromString(endingMouseLocation);
    // Truncated toward zero, as whole points: 3.9 away is still near.
    double dx = std::trunc(static_cast<double>(current.x) - static_cast<double>(ending.x));
    double dy = std::trunc(static_cast<double>(current.y) - static_cast<double>(ending.y));
    return std::fabs(dx) < kSnapBackDistance && std::fabs(dy) < kSnapBackDistance;
}

size_t MouseMoveListener::indexOfWatcher(const void* watcher) const
{
    for (size_t i = 0; i < m_watchers.size(); ++i) {
        if (m_watchers[i].watcher.get() == watcher)
            return i;
    }
    return static_cast<size_t>(kNSNotFound);
}

void MouseMoveListener::clearOldWatcher()
{
    if (m_watchers.empty())
        return;
    auto removed = std::make_shared<std::vector<SnapRecord>>(std::exchange(m_watchers, {}));
    for (SnapRecord& record : *removed) {
        if (record.watcher)
            record.watcher->stopTimer();
    }
    Platform::current().runLoop().performAtEndOfPass([removed] { removed->clear(); });
}

} // namespace velmora
