#pragma once

#include "agent/accessibility/ApplicationObserver.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/Workspace.h"

#include <memory>
#include <optional>
#include <string>

namespace velmora {

// The focus reaction for one running application: when a different window
// takes the focus while the application is frontmost, asks ButtonChooser for
// the button that answers it and moves the pointer there, unless the user is
// busy with the mouse.
//
// An application that does not answer a read is not asked anything more on
// that focus change: the change is counted and logged (once until it
// answers again) and the window is not taken as seen, so the next focus
// change tries it again.
class FocusedWindowObserver final : public ApplicationObserver {
public:
    // The notifications one observer subscribes to, in order.
    static const std::vector<std::string>& observedNotifications();

    // Null when accessibility access is off or any notification cannot be
    // subscribed. `platform` is not owned and must outlive the observer.
    static std::unique_ptr<FocusedWindowObserver> create(Platform& platform, pid_t pid);
    ~FocusedWindowObserver() override;

    // Absent for the login window process.
    const std::optional<ApplicationInfo>& appInfo() const { return m_appInfo; }
    void setAppInfo(std::optional<ApplicationInfo> info) { m_appInfo = std::move(info); }

    void respondToNotification(const std::string& notification, const AccessibleElement& element) override;
    void checkWindows();
    void displayDidSleep();
    void displayDidWake();
    std::string description() const;

    // State, for tests and the tracker.
    const AccessibleElement& lastFocusedWindow() const { return m_lastFocusedWindow; }
    bool firstTime() const { return m_firstTime; }
    bool displaysAsleep() const { return m_displaysAsleep; }
    // Focus changes given up because the application did not answer.
    int unansweredChecks() const { return m_unansweredChecks; }

private:
    enum class Reaction { Done, Unanswered };

    explicit FocusedWindowObserver(Platform& platform)
        : ApplicationObserver(platform.accessibility()), m_platform(platform) { }
    Reaction reactToNewWindow(const AccessibleElement& window, Point startingPixel);
    void noteUnanswered();

    Platform& m_platform;
    AccessibleElement m_lastFocusedWindow;
    bool m_firstTime{true};
    pid_t m_pid{0};
    std::optional<ApplicationInfo> m_appInfo;
    bool m_displaysAsleep{false};
    bool m_unansweredLogged{false};
    int m_unansweredChecks{0};
    NotificationObservation m_sleepObservation;
    NotificationObservation m_wakeObservation;
};

} // namespace velmora
