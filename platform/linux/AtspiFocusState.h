#pragma once

#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <map>
#include <string>

namespace velmora::linux_desktop {

// Which window and which application are active, and which object has the
// focus in each application, as the events last told it (or a scan of an
// application's windows found it). Applications are named by their bus
// names; an object's application is the one owning its bus name.
class AtspiFocusState {
public:
    AtspiFocusState() = default;
    AtspiFocusState(const AtspiFocusState&) = delete;
    AtspiFocusState& operator=(const AtspiFocusState&) = delete;

    // Null when none is known.
    AtspiAccessible* activeWindow() const { return m_activeWindow.get(); }
    GObjectRef<AtspiAccessible> shareActiveWindow() const { return m_activeWindow.share(); }
    // The application that activated a window last; "" when none. It stays
    // the active application while it goes from one of its windows to the
    // next (a closing dialog deactivates before its successor activates),
    // until another application's window activates or it leaves.
    const std::string& activeBus() const { return m_activeBus; }
    // Whether the known active window belongs to `bus`.
    bool ownsActiveWindow(const std::string& bus) const;

    void windowActivated(GObjectRef<AtspiAccessible> window, const std::string& bus);
    // The window deactivated or was destroyed: it is no longer the active one.
    void windowLeft(AtspiAccessible* window);
    // Null when the application's focus is not known.
    AtspiAccessible* focusedIn(const std::string& bus) const;
    void focusMoved(const std::string& bus, GObjectRef<AtspiAccessible> object);
    // The application left the bus.
    void forget(const std::string& bus);

private:
    GObjectRef<AtspiAccessible> m_activeWindow;
    std::string m_activeBus;
    std::map<std::string, GObjectRef<AtspiAccessible>> m_focusedByBus;
};

} // namespace velmora::linux_desktop
