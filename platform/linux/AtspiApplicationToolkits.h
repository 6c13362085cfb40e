#pragma once

#include "platform/linux/GObjectRef.h"
#include "platform/linux/Gtk4Conventions.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <map>
#include <optional>
#include <string>

namespace velmora::linux_desktop {

class AtspiApplicationDirectory;
class AtspiBoundedCalls;
class AtspiObjectReads;
struct AtspiWindowSystem;

// Which toolkit each application uses, by the name and version it reports,
// and what follows from it: GTK 4's conventions (Gtk4Conventions), and where
// a window's own origin lies in its Wayland surface. Each is found once per
// application and kept until it leaves.
class AtspiApplicationToolkits {
public:
    enum class Toolkit { Other, Gtk4, Qt };

    // All borrowed; they outlive this object. `accessibilityBus` may be
    // null: every application is then Other.
    AtspiApplicationToolkits(GObjectRef<GDBusConnection> accessibilityBus, AtspiBoundedCalls& calls, AtspiObjectReads& reads,
        AtspiApplicationDirectory& directory, const AtspiWindowSystem& windowSystem);
    AtspiApplicationToolkits(const AtspiApplicationToolkits&) = delete;
    AtspiApplicationToolkits& operator=(const AtspiApplicationToolkits&) = delete;

    // A hung application is Other until it answers again (and is asked then).
    Toolkit toolkitOf(const std::string& bus);
    bool followsGtk4(const std::string& bus) { return toolkitOf(bus) == Toolkit::Gtk4; }
    // The name as the user reads it (GTK 4's doubled names made single).
    std::optional<std::string> shownNameOf(AtspiAccessible* accessible);
    // Without X11: where an application's windows' own origin lies in their
    // surfaces, which is where window-relative moves are counted from (none
    // but for GTK 4, and for Qt on Wayland rather than XWayland). `any` is
    // an object of the application, for its process.
    Gtk4Conventions::Margin surfaceMargin(const std::string& bus, AtspiAccessible* any);
    // The application left the bus.
    void forget(const std::string& bus);

private:
    GObjectRef<GDBusConnection> m_bus;
    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiApplicationDirectory& m_directory;
    const AtspiWindowSystem& m_windowSystem;
    std::map<std::string, Toolkit> m_toolkitByBus;
    std::map<std::string, Gtk4Conventions::Margin> m_surfaceMarginByBus;
};

} // namespace velmora::linux_desktop
