#pragma once

#include "agent/snapping/SnapEvent.h"
#include "agent/snapping/SnappedButtonWatcher.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace velmora {

// The snap-back coordinator: starts a watcher for every snap, and when the
// snapped-to button goes away under the resting pointer, puts the pointer
// back where it was before the snap (if the user wants that). One per agent.
// A button goes away with its window or its application; either is decided
// before the engine answers the next focused window, never after.
class SnapBackCoordinator {
public:
    // One snap: where the pointer was before and after it, and the snap's
    // watcher, which the record owns.
    struct SnapRecord {
        Point from;
        Point to;
        std::unique_ptr<SnappedButtonWatcher> watcher;
    };

    // Logged once, at the first snap with snap-back on, on a desktop that
    // does not let programs read the pointer.
    static constexpr const char* kSnapBackUnavailableMessage =
        "The pointer cannot be put back on this desktop: it does not let programs read where the pointer is";

    // How far, in whole points along either axis, the pointer may have
    // drifted from where the snap left it and still be put back: well inside
    // the watcher's box, so a nudged pointer ends the watch but stays put.
    static constexpr int kSnapBackDistance = 4;

    // Subscribes to the snap and watcher notifications from any sender.
    // `platform` is not owned and must outlive the coordinator.
    explicit SnapBackCoordinator(Platform& platform);
    // Unsubscribes and releases every record and watcher.
    ~SnapBackCoordinator();
    SnapBackCoordinator(const SnapBackCoordinator&) = delete;
    SnapBackCoordinator& operator=(const SnapBackCoordinator&) = delete;

    // kPointerSnapped: starts watching the snap.
    void mouseWasMoved(const SnapEvent& snap);
    // kUserMovedPointer, kSnappedButtonGoneAfterPointerMoved: forget the snap.
    void watcherReportedMouseMoved(const Notification& notification);
    void watcherReportedElementInvalid(const Notification& notification);
    // kSnappedButtonGone: snap back if allowed, then forget the snap.
    // Allowed: switched on, the pointer still near the spot, and some
    // application active, unless the button's own application has quit
    // (the focus may then rest on nothing the desktop reports).
    void watcherReportedElementDeleted(const Notification& notification);
    // The engine is about to answer a newly focused window.
    void focusedWindowCheckWillStart();
    // An application quit (workspace notification).
    void applicationTerminated(const Notification& notification);

    // The position of the first record whose watcher is that very object;
    // nothing when there is none.
    std::optional<size_t> indexOfWatcher(const void* watcher) const;

    // Removes every record. Their watchers stop polling at once but live on
    // until the end of the current run-loop pass: the one that reported may
    // still be inside its own poll, further up the stack.
    void clearOldWatcher();

    // Newest first; at most one record in practice, as every snap clears.
    const std::vector<SnapRecord>& watchers() const { return m_watchers; }

private:
    void setupObservers();
    bool pointerStillNear(Point snappedTo) const;

    Platform& m_platform;
    std::vector<SnapRecord> m_watchers;
    bool m_toldSnapBackUnavailable{false};
    NotificationObservation m_movedToObservation;
    NotificationObservation m_userMovedObservation;
    NotificationObservation m_buttonGoneObservation;
    NotificationObservation m_buttonGoneAfterMoveObservation;
    NotificationObservation m_checkWillStartObservation;
    NotificationObservation m_terminateObservation;
};

} // namespace velmora
