#pragma once

#include "agent/accessibility/ElementQueries.h"
#include "platform/AccessibleElement.h"
#include "platform/Geometry.h"
#include "platform/Platform.h"
#include "platform/RunLoop.h"

#include <cstdint>
#include <memory>
#include <sys/types.h>

namespace velmora {

// Follows one snapped-to element while the pointer rests on it. Each poll
// reports at most one of three things on the local centre, with the watcher
// as the object: the pointer left the snap box (kUserMovedPointer), or
// the element is no longer under the pointer or is gone altogether (its
// window destroyed, its application quit): kSnappedButtonGone, or
// kSnappedButtonGoneAfterPointerMoved once the pointer had left.
// A watcher stops polling when it reports, and never polls once stopped.
class SnappedButtonWatcher {
public:
    // Time between two polls, in seconds: quick enough that the pointer is
    // back before the user reaches for it, cheap enough to run while idle.
    static constexpr double kPollInterval = 0.05;
    // Pointer movement, in pixels along either axis, that still counts as
    // resting on the button; 25 or more means the user moved away.
    static constexpr int32_t kRestingDistance = 24;

    // A polling watcher of the element under `point` (screen pixels); null
    // when nothing is under it. The first poll comes kPollInterval after
    // creation. `platform` is not owned and must outlive the watcher.
    static std::unique_ptr<SnappedButtonWatcher> watchElementAt(Platform& platform, Point point);

    // Stops the timer and releases the element.
    ~SnappedButtonWatcher();
    SnappedButtonWatcher(const SnappedButtonWatcher&) = delete;
    SnappedButtonWatcher& operator=(const SnappedButtonWatcher&) = delete;

    // One poll; the timer calls it.
    void updateCurrentUIElement();
    // Reports at once, as a poll would, if the element is gone for certain;
    // otherwise leaves it to the polls. For decisions that must come after
    // this one, such as answering the next focused window.
    void reportIfElementGone();
    // The application with that process quit: if it owned the element, the
    // element is gone and that is reported at once.
    void applicationTerminated(pid_t pid);

    // Ends polling for good. Safe from inside a poll: the timer handle is
    // kept (invalid) until destruction, as its callback may be on the stack.
    void stopTimer();

    bool isPolling() const { return m_timer && m_timer->isValid(); }
    // The pixel the pointer was snapped to (not the one before the snap).
    Point snappedPixel() const { return m_snappedPixel; }
    const AccessibleElement& element() const { return m_ref; }
    bool mouseAlreadyMoved() const { return m_mouseAlreadyMoved; }
    // The element's process; -1 when unknown.
    pid_t pid() const { return m_pid; }
    // Whether the element's application has quit (as far as known now).
    bool applicationGone();

private:
    explicit SnappedButtonWatcher(Platform& platform) : m_platform(platform), m_queries(platform.accessibility()) { }
    // Keeps the element and starts the poll timer.
    void initWithUIElement(AccessibleElement element);
    void poll(bool knownGone);

    Platform& m_platform;
    ElementQueries m_queries;
    AccessibleElement m_ref;
    Point m_snappedPixel;
    // Owned: destroying the watcher destroys the timer, so a dropped watcher
    // is never polled (the callback holds a plain `this`).
    std::unique_ptr<Timer> m_timer;
    bool m_mouseAlreadyMoved{false};
    pid_t m_pid{-1};
    bool m_applicationTerminated{false};
};

} // namespace velmora
