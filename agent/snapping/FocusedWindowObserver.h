#pragma once

#include "agent/accessibility/QK_AccessibilityObserver.h"
#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"

#include <memory>
#include <optional>
#include <string>

namespace velmora {

// Watches one running application: when a different window takes the focus
// while the application is frontmost, picks the button that answers it and
// moves the pointer there, unless the user is busy with the mouse.
class FocusedWindowObserver final : public QK_AccessibilityObserver {
public:
    // The notifications one observer subscribes to, in order.
    static const std::vector<std::string>& observedNotifications();

    // Null when accessibility access is off or any notification cannot be subscribed.
    static std::unique_ptr<FocusedWindowObserver> initWithAppWithPID(pid_t pid);
    ~FocusedWindowObserver() override;

    // Absent for the login window process.
    const std::optional<ApplicationInfo>& appInfo() const { return m_appInfo; }
    void setAppInfo(std::optional<ApplicationInfo> info) { m_appInfo = std::move(info); }

    void respondToNotification(const std::string& notification, const AXElement& element) override;
    void checkWindows();
    void newFocusedWindow(const AXElement& window, CarbonPoint startingPosition);
    void displayDidSleep();
    void displayDidWake();
    std::string description() const;

    // Button choice: which button, if any, answers a newly focused window.
    // Only a button the pointer can really be put on is chosen (see
    // snapPointOnButton); a standard window is never answered by its cancel
    // button, which there is a guess by label, not the window's own answer.
    AXElement refToCenterOnInWindow(const AXElement& window);
    // Where the pointer goes on `button` of `window`; none when the button is
    // hidden, has no area, or the spot is outside the window or off every screen.
    // In the window's own coordinates when its positions are given that way.
    std::optional<CGPoint> snapPointOnButton(const AXElement& button, const AXElement& window);
    AXElement defaultButtonForWindow(const AXElement& window);
    AXElement cancelButtonForWindow(const AXElement& window);
    AXElement enabledElementOfType(const std::string& attribute, const AXElement& window);
    AXElement specialFinderWindowButtonForWindow(const AXElement& window);
    AXElement oldSpecialFinderWindowButtonForWindow(const AXElement& window);
    AXElement newSpecialFinderWindowButtonForWindow(const AXElement& window);
    AXElement childOfElement(const AXElement& element, const std::string& attribute, const std::string& wanted);
    AXElement lastChildOfElement(const AXElement& element, const std::string& attribute, const std::string& wanted);
    AXElement buttonChildOfElement(const AXElement& element, const std::string& attribute, const std::string& wanted);

    // State, for tests and the tracker.
    const AXElement& lastFocusedWindow() const { return m_lastFocusedWindow; }
    bool firstTime() const { return m_firstTime; }
    bool displaysAsleep() const { return m_displaysAsleep; }

private:
    struct Choice {
        AXElement button;
        CGPoint spot;
        bool inWindow; // the spot is in the window's own coordinates
    };
    FocusedWindowObserver() = default;
    std::optional<Choice> chooseButton(const AXElement& window);
    // Both progress-dialog layouts end the same way: a "Replace" button, else "Continue".
    AXElement replaceOrContinueButtonIn(const AXElement& container);

    AXElement m_lastFocusedWindow;
    bool m_firstTime{true};
    pid_t m_pid{0};
    std::optional<ApplicationInfo> m_appInfo;
    bool m_displaysAsleep{false};
    NotificationObservation m_sleepObservation;
    NotificationObservation m_wakeObservation;
};

} // namespace velmora
