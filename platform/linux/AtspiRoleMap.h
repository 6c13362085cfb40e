#pragma once

#include <atspi/atspi.h>

namespace velmora::linux_desktop {

// The one place where AT-SPI roles meet the engine's role names.
class AtspiRoleMap {
public:
    AtspiRoleMap() = delete;

    // The engine's name for a role ("AXButton", "AXWindow", ...); "AXUnknown"
    // for roles the engine has no word for.
    static const char* roleName(AtspiRole role);

    // Top-level windows: what an application's "AXWindows" lists.
    static bool isWindow(AtspiRole role);
    // A window's kind: "AXStandardWindow" for a document or main window (a
    // frame), "AXDialog" for every other top-level, as toolkits give dialogs,
    // alerts and file choosers their own roles.
    static const char* windowSubrole(AtspiRole role);

    // Containers that exist only for layout and are skipped in "AXChildren"
    // and "AXParent", so a dialog's buttons read as the dialog's children as
    // on desktops whose trees are flat. A panel counts only when it has no
    // name: a named one is a group the user sees.
    static bool isLayoutOnly(AtspiRole role, bool hasName);
};

} // namespace velmora::linux_desktop
