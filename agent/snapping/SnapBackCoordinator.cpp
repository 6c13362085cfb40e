#include "agent/snapping/SnapBackCoordinator.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <cmath>
#include <utility>

namespace velmora {

SnapBackCoordinator::SnapBackCoordinator(Platform& platform) : m_platform(platform)
{
    setupObservers();
}

SnapBackCoordinator::~SnapBackCoordinator() = default;

void SnapBackCoordinator::setupObservers()
{
    NotificationCenter& center = m_platform.localNotificationCenter();
    m_movedToObservation = center.addObserver(kPointerSnapped, nullptr,
        [this](const Notification& n) {
            if (const SnapEvent* snap = n.payloadAs<SnapEvent>())
                mouseWasMoved(*snap);
        });
    m_userMovedObservation = center.addObserver(kUserMovedPointer, nullptr,
        [this](const Notification& n) { watcherReportedMouseMoved(n); });
    m_buttonGoneObservation = center.addObserver(kSnappedButtonGone, nullptr,
        [this](const Notification& n) { watcherReportedElementDeleted(n); });
    m_buttonGoneAfterMoveObservation = center.addObserver(kSnappedButtonGoneAfterPointerMoved, nullptr,
        [this](const Notification& n) { watcherReportedElementInvalid(n); });
    m_checkWillStartObservation = center.addObserver(kFocusedWindowCheckWillStart, nullptr,
        [this](const Notification&) { focusedWindowCheckWillStart(); });
    m_terminateObservation = m_platform.workspace().notificationCenter().addObserver(
        kApplicationTerminatedNotification, nullptr, [this](const Notification& n) { applicationTerminated(n); });
}

void SnapBackCoordinator::focusedWindowCheckWillStart()
{
    if (m_watchers.empty() || !m_watchers.front().watcher)
        return;
    m_watchers.front().watcher->reportIfElementGone();
}

void SnapBackCoordinator::applicationTerminated(const Notification& notification)
{
    if (m_watchers.empty() || !m_watchers.front().watcher)
        return;
    std::optional<ApplicationInfo> info = ApplicationInfo::fromRecord(notification.userInfo);
    if (info)
        m_watchers.front().watcher->applicationTerminated(info->pid);
}

void SnapBackCoordinator::mouseWasMoved(const SnapEvent& snap)
{
    // The pointer did not actually go anywhere: nothing to come back from,
    // and an earlier snap is still worth watching.
    if (snap.to == snap.from)
        return;

    clearOldWatcher();
    // Where the pointer cannot be read, whether the user moved it cannot be
    // told either: putting it back could undo the user's own move.
    Platform& platform = m_platform;
    if (!platform.pointer().abilities().readsPosition) {
        if (!m_toldSnapBackUnavailable && platform.standardUserDefaults().boolForKey(VelmoraPreferences::kSnapbackCursor)) {
            m_toldSnapBackUnavailable = true;
            logMessage(kSnapBackUnavailableMessage);
        }
        return;
    }
    auto watcher = SnappedButtonWatcher::watchElementAt(m_platform, snap.to);
    if (!watcher)
        return;
    m_watchers.insert(m_watchers.begin(), SnapRecord{snap.from, snap.to, std::move(watcher)});
}

void SnapBackCoordinator::watcherReportedMouseMoved(const Notification&)
{
    clearOldWatcher();
}

void SnapBackCoordinator::watcherReportedElementInvalid(const Notification&)
{
    clearOldWatcher();
}

void SnapBackCoordinator::watcherReportedElementDeleted(const Notification& notification)
{
    const std::optional<size_t> index = indexOfWatcher(notification.object);
    if (!index) {
        logMessage("Couldn't find watcher");
        return;
    }
    const SnapRecord& record = m_watchers[*index];

    Platform& platform = m_platform;
    bool snapBack = platform.standardUserDefaults().boolForKey(VelmoraPreferences::kSnapbackCursor)
        && pointerStillNear(record.to)
        && (platform.workspace().activeApplication().has_value() || record.watcher->applicationGone());
    if (snapBack) {
        platform.pointer().moveTo(record.from);
        platform.localNotificationCenter().post(kPointerSnappedBack, this);
    }
    clearOldWatcher();
}

bool SnapBackCoordinator::pointerStillNear(Point snappedTo) const
{
    const Point current = m_platform.pointer().location();
    // Truncated toward zero, as whole pixels: 3.9 away is still near.
    double dx = std::trunc(static_cast<double>(current.x) - static_cast<double>(snappedTo.x));
    double dy = std::trunc(static_cast<double>(current.y) - static_cast<double>(snappedTo.y));
    return std::fabs(dx) < kSnapBackDistance && std::fabs(dy) < kSnapBackDistance;
}

std::optional<size_t> SnapBackCoordinator::indexOfWatcher(const void* watcher) const
{
    for (size_t i = 0; i < m_watchers.size(); ++i) {
        if (m_watchers[i].watcher.get() == watcher)
            return i;
    }
    return std::nullopt;
}

void SnapBackCoordinator::clearOldWatcher()
{
    if (m_watchers.empty())
        return;
    auto removed = std::make_shared<std::vector<SnapRecord>>(std::exchange(m_watchers, {}));
    for (SnapRecord& record : *removed) {
        if (record.watcher)
            record.watcher->stopTimer();
    }
    m_platform.runLoop().performAtEndOfPass([removed] { removed->clear(); });
}

} // namespace velmora
