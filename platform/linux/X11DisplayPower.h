#pragma once

typedef struct _XDisplay Display; // Xlib's; its header defines macros that clash with ours

namespace velmora::linux_desktop {

// Whether the X server has put the screens to sleep: DPMS has switched the
// monitors off (standby, suspend or off), or the screen saver is showing.
class X11DisplayPower {
public:
    explicit X11DisplayPower(Display* display);

    bool displaysAsleep();

private:
    Display* m_display; // not owned; the desktop backend owns the connection
    bool m_hasDpms{false};
    bool m_hasScreenSaver{false};
};

} // namespace velmora::linux_desktop
