#pragma once

namespace velmora {

// The feedback window as the front end provides it. The window binds its
// controls to the controller's observable properties; the controller only
// asks it to appear and to go.
class FeedbackWindow {
public:
    virtual ~FeedbackWindow() = default;
    // Centres the window on the screen and shows it; an open window is
    // brought to the front.
    virtual void showWindow() = 0;
    // Hides the window for good; the controller destroys it soon after.
    virtual void orderOut() = 0;
};

} // namespace velmora
