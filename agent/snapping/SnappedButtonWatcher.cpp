#include "agent/snapping/SnappedButtonWatcher.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/ElementReader.h"
#include "platform/Platform.h"

#include <cmath>

namespace velmora {

// static
std::unique_ptr<SnappedButtonWatcher> SnappedButtonWatcher::watchElementAt(Platform& platform, Point point)
{
    const Point pixel = wholePixels(point);
    AccessibleElement element = ElementQueries{platform.accessibility()}.elementAt(pixel);
    if (!element)
        return nullptr;

    std::unique_ptr<SnappedButtonWatcher> watcher(new SnappedButtonWatcher(platform));
    watcher->m_snappedPixel = pixel;
    watcher->m_mouseAlreadyMoved = false;
    watcher->initWithUIElement(std::move(element));
    return watcher;
}

SnappedButtonWatcher::~SnappedButtonWatcher()
{
    stopTimer();
}

void SnappedButtonWatcher::initWithUIElement(AccessibleElement element)
{
    m_ref = std::move(element);
    m_pid = m_queries.pidOf(m_ref);
    m_timer = m_platform.runLoop().scheduleTimer(kPollInterval, TimerRepeats::Yes, [this] { updateCurrentUIElement(); });
}

void SnappedButtonWatcher::stopTimer()
{
    if (m_timer)
        m_timer->invalidate();
}

void SnappedButtonWatcher::updateCurrentUIElement()
{
    poll(false);
}

void SnappedButtonWatcher::reportIfElementGone()
{
    if (isPolling() && (m_applicationTerminated || m_queries.isGone(m_ref)))
        poll(true);
}

void SnappedButtonWatcher::applicationTerminated(pid_t pid)
{
    if (pid <= 0 || pid != m_pid)
        return;
    m_applicationTerminated = true;
    if (isPolling())
        poll(true);
}

bool SnappedButtonWatcher::applicationGone()
{
    // Its process may be gone before the accessibility bus has noticed.
    if (!m_applicationTerminated && m_pid > 0
        && (!m_platform.processManager().isRunning(m_pid) || !m_queries.applicationElement(m_pid)))
        m_applicationTerminated = true;
    return m_applicationTerminated;
}

void SnappedButtonWatcher::poll(bool knownGone)
{
    const Point current = wholePixels(m_platform.pointer().location());
    const float dx = std::fabs(current.x - m_snappedPixel.x);
    const float dy = std::fabs(current.y - m_snappedPixel.y);
    NotificationCenter& center = m_platform.localNotificationCenter();

    if (dx > kRestingDistance || dy > kRestingDistance) {
        if (!m_mouseAlreadyMoved) {
            // The listener drops us while this post runs, but keeps us alive
            // until the pass is over, so the lines after it are safe.
            center.post(kUserMovedPointer, this);
            stopTimer();
            m_mouseAlreadyMoved = true;
        }
        return;
    }

    if (!knownGone) {
        ElementReader reader{m_platform.accessibility()};
        ErrorOr<AccessibleElement> underPointer = reader.elementAt(current);
        // A hung application is no answer either way: the next tick asks
        // again, and nothing more is asked of it now.
        if (underPointer.isError(ReadError::Hung))
            return;
        if (underPointer.isError()) {
            // Nothing readable there: the application may be gone with its
            // windows, or just slow to answer. Only the first is an answer.
            if (!m_queries.isGone(m_ref))
                return; // the next tick asks again
        } else {
            // Positions, not identity: whatever sits where the button sits is the
            // button; a button that cannot say where it is has gone with its dialog.
            ErrorOr<Point> foundPosition = reader.position(underPointer.value());
            if (foundPosition.isError(ReadError::Hung))
                return;
            ErrorOr<Point> watchedPosition = reader.position(m_ref);
            if (watchedPosition.isError(ReadError::Hung))
                return;
            if (foundPosition.hasValue() && watchedPosition.hasValue() && foundPosition.value() == watchedPosition.value())
                return;
        }
    }

    center.post(m_mouseAlreadyMoved ? kSnappedButtonGoneAfterPointerMoved : kSnappedButtonGone, this);
    stopTimer();
}

} // namespace velmora
