#include "agent/snapping/FocusedWindowObserver.h"

#include "agent/accessibility/ElementQueries.h"
#include "agent/snapping/ButtonChooser.h"
#include "agent/snapping/SnapEvent.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/ElementReader.h"
#include "platform/Platform.h"

#include <cmath>

namespace velmora {

namespace {

// How long a held mouse button may keep the agent from snapping: long enough
// for a click or a short drag to finish, short enough that a button held for
// good does not freeze the agent.
constexpr double kButtonWaitSeconds = 5.0;
// Poll period of that wait. The loop is held anyway; this only keeps the wait
// from spinning, and 10 ms after the release is not noticeable.
constexpr double kButtonPollInterval = 0.01;
// Pointer travel, in points per axis, that still counts as a resting hand.
constexpr int kToleratedDrift = 2;

// A held button means a click or drag in progress: moving the pointer under
// it would turn it into something else. False when it is still held at the
// deadline. The loop is not run meanwhile.
bool waitForMouseButtonsUp(Platform& platform)
{
    RunLoop& runLoop = platform.runLoop();
    const double deadline = runLoop.now() + kButtonWaitSeconds;
    while (platform.pointer().anyButtonDown()) {
        if (runLoop.now() > deadline)
            return false;
        runLoop.blockFor(kButtonPollInterval);
    }
    return true;
}

} // namespace

const std::vector<std::string>& FocusedWindowObserver::observedNotifications()
{
    static const std::vector<std::string> names{
        "AXFocusedUIElementChanged",
        "AXFocusedWindowChanged",
        "AXMainWindowChanged",
        "AXWindowCreated",
        "AXApplicationActivated",
        "AXApplicationDeactivated",
        "AXApplicationShown",
        "AXApplicationHidden",
    };
    return names;
}

std::unique_ptr<FocusedWindowObserver> FocusedWindowObserver::create(Platform& platform, pid_t pid)
{
    std::unique_ptr<FocusedWindowObserver> observer{new FocusedWindowObserver(platform)};
    observer->m_pid = pid;
    if (!observer->initialize(pid, observedNotifications()))
        return nullptr;
    observer->m_firstTime = true;

    NotificationCenter& workspaceCenter = platform.workspace().notificationCenter();
    FocusedWindowObserver* self = observer.get(); // the observations die with the instance
    observer->m_sleepObservation = workspaceCenter.addObserver(kScreensDidSleepNotification, nullptr,
        [self](const Notification&) { self->displayDidSleep(); });
    observer->m_wakeObservation = workspaceCenter.addObserver(kScreensDidWakeNotification, nullptr,
        [self](const Notification&) { self->displayDidWake(); });
    return observer;
}

FocusedWindowObserver::~FocusedWindowObserver()
{
    m_lastFocusedWindow.reset();
    m_appInfo.reset();
    m_sleepObservation.reset();
    m_wakeObservation.reset();
}

void FocusedWindowObserver::respondToNotification(const std::string& notification, const AccessibleElement&)
{
    if (notification == "AXApplicationDeactivated") {
        // Coming back to the application should snap to its window again.
        m_lastFocusedWindow.reset();
        return;
    }
    checkWindows();
}

void FocusedWindowObserver::checkWindows()
{
    if (m_displaysAsleep)
        return;
    // May put the pointer back from a dialog that just went away.
    m_platform.localNotificationCenter().post(kFocusedWindowCheckWillStart, this);
    const Point startingPixel = wholePixels(m_platform.pointer().location());

    // Any other error reads as the attribute being absent, as it always has:
    // a gone application is not frontmost and has no focused window.
    ElementReader reader{m_platform.accessibility()};
    ErrorOr<bool> hidden = reader.flag(appRef(), "AXHidden");
    if (hidden.isError(ReadError::Hung))
        return noteUnanswered();
    if (hidden.valueOr(false) && !m_firstTime)
        return;
    ErrorOr<bool> frontmost = reader.flag(appRef(), "AXFrontmost");
    if (frontmost.isError(ReadError::Hung))
        return noteUnanswered();
    if (!frontmost.valueOr(false))
        return;

    ErrorOr<AccessibleElement> window = ElementQueries{m_platform.accessibility()}.focusedWindow(m_pid);
    if (window.isError(ReadError::Hung))
        return noteUnanswered();
    if (window.hasValue() && !(m_lastFocusedWindow && m_lastFocusedWindow == window.value())) {
        if (reactToNewWindow(window.value(), startingPixel) == Reaction::Unanswered)
            return noteUnanswered();
        // Seen, whether or not it got a snap: a button it gains later is not chased.
        m_lastFocusedWindow = window.value();
    }
    m_unansweredLogged = false;
    m_firstTime = false;
}

FocusedWindowObserver::Reaction FocusedWindowObserver::reactToNewWindow(const AccessibleElement& window, Point startingPixel)
{
    Platform& platform = m_platform;
    const Point from = platform.pointer().location();

    ElementReader reader{platform.accessibility()};
    ButtonChooser chooser{platform, reader, m_appInfo ? &*m_appInfo : nullptr};
    ErrorOr<std::optional<SnapTarget>> choice = chooser.choose(window);
    if (choice.isError(ReadError::Hung))
        return Reaction::Unanswered;
    if (choice.isError() || !choice.value())
        return Reaction::Done;
    const SnapTarget& target = *choice.value();

    if (!waitForMouseButtonsUp(platform))
        return Reaction::Done;
    const Point current = wholePixels(platform.pointer().location());
    if (std::fabs(current.y - startingPixel.y) > kToleratedDrift || std::fabs(current.x - startingPixel.x) > kToleratedDrift)
        return Reaction::Done;

    // A spot in window pixels cannot be compared with the screen reading
    // `from`: such a move is always told.
    bool stayed = false;
    if (const WindowPoint* inWindow = std::get_if<WindowPoint>(&target.spot)) {
        if (!platform.pointer().moveToInWindow(window, *inWindow))
            return Reaction::Done;
    } else {
        if (!platform.pointer().abilities().movesOnScreen)
            return Reaction::Done;
        const Point spot = std::get<Point>(target.spot);
        platform.pointer().moveTo(spot);
        stayed = spot == from;
    }
    if (!stayed)
        platform.localNotificationCenter().post(
            Notification{kPointerSnapped, nullptr, {}, SnapEvent{from, platform.pointer().location(), target.button}});
    return Reaction::Done;
}

void FocusedWindowObserver::noteUnanswered()
{
    ++m_unansweredChecks;
    if (m_unansweredLogged)
        return;
    m_unansweredLogged = true;
    logMessage(description() + " did not answer in time; its focus change is skipped");
}

void FocusedWindowObserver::displayDidSleep()
{
    m_displaysAsleep = true;
}

void FocusedWindowObserver::displayDidWake()
{
    m_displaysAsleep = false;
}

std::string FocusedWindowObserver::description() const
{
    // "%@" of a missing record entry prints "(null)".
    std::string name = "(null)";
    std::string pid = "(null)";
    if (m_appInfo) {
        name = m_appInfo->name;
        pid = std::to_string(m_appInfo->pid);
    }
    return "FocusedWindowObserver - " + name + " (" + pid + ")";
}

} // namespace velmora
