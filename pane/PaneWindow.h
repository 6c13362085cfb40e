#pragma once

namespace velmora {

// The window that shows the pane, as the front end provides it.
class PaneWindow {
public:
    virtual ~PaneWindow() = default;
    // Activates the program that shows the pane, ahead of other programs, and
    // brings this window to the front as the key window.
    virtual void activateAndOrderFront() = 0;
};

} // namespace velmora
