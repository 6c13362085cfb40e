#pragma once

#include <gio/gio.h>

#include <string>

namespace velmora::linux_desktop {

// What the session bus says of the accessibility bus: where it is and
// whether the desktop's accessibility switch is on. Asked of the session's
// bus launcher (and GNOME's setting), never of the registry or an
// application, so the settings window can ask without joining the bus.
class AtspiBusStatus {
public:
    // The accessibility bus's address; "" when there is none (no launcher,
    // or it did not answer in time).
    static std::string address(GDBusConnection* sessionBus);
    // Whether the switch is on: the launcher's IsEnabled, else GNOME's
    // toolkit-accessibility setting where its schema is installed.
    static bool isEnabled(GDBusConnection* sessionBus);
};

} // namespace velmora::linux_desktop
