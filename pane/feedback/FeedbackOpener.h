#pragma once

#include "pane/feedback/FeedbackController.h"

#include <memory>
#include <optional>
#include <string>

namespace velmora {

// Opens the feedback window, one at a time: asking again brings the open one
// forward. Owns the window's controller and lets it go when the window
// closes, so that each new window starts afresh.
class FeedbackOpener {
public:
    // `services` outlive the opener; `makeWindow` makes each new window.
    FeedbackOpener(const FeedbackController::Services& services, FeedbackController::WindowFactory makeWindow);
    ~FeedbackOpener();
    FeedbackOpener(const FeedbackOpener&) = delete;
    FeedbackOpener& operator=(const FeedbackOpener&) = delete;

    // Asks first when the feedback server cannot be reached; then shows the
    // window (a new one when none is open) and, when `details` are given,
    // puts them in as the message. Nothing opens when no feedback address is
    // configured (logged "HXFeedbackURL not defined") or when it is not an
    // https one (an alert says why).
    void show(const std::optional<std::string>& details = std::nullopt);
    // Closes the window and lets its controller go; nothing without one.
    void close();
    // Null while no window is open.
    FeedbackController* controller() const { return m_open.get(); }

private:
    FeedbackController::Services m_services;
    FeedbackController::WindowFactory m_makeWindow;
    std::unique_ptr<FeedbackController> m_open;
};

} // namespace velmora
