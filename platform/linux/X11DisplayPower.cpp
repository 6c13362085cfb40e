#include "platform/linux/X11DisplayPower.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

namespace velmora::linux_desktop {

X11DisplayPower::X11DisplayPower(Display* display) : m_display(display)
{
    int eventBase = 0, errorBase = 0;
    m_hasDpms = DPMSQueryExtension(m_display, &eventBase, &errorBase) && DPMSCapable(m_display);
    m_hasScreenSaver = XScreenSaverQueryExtension(m_display, &eventBase, &errorBase);
}

bool X11DisplayPower::displaysAsleep()
{
    if (m_hasDpms) {
        CARD16 level = DPMSModeOn;
        BOOL enabled = False;
        if (DPMSInfo(m_display, &level, &enabled) && enabled && level != DPMSModeOn)
            return true;
    }
    if (m_hasScreenSaver) {
        XScreenSaverInfo info{};
        if (XScreenSaverQueryInfo(m_display, DefaultRootWindow(m_display), &info) && info.state == ScreenSaverOn)
            return true;
    }
    return false;
}

} // namespace velmora::linux_desktop
