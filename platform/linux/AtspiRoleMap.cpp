#include "platform/linux/AtspiRoleMap.h"

namespace velmora::linux_desktop {

// static
const char* AtspiRoleMap::roleName(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_PUSH_BUTTON:
        return "AXButton";
    // Toggle buttons keep state like a check box does; the engine must never
    // take one for the button that answers a dialog.
    case ATSPI_ROLE_TOGGLE_BUTTON:
    case ATSPI_ROLE_CHECK_BOX:
        return "AXCheckBox";
    case ATSPI_ROLE_RADIO_BUTTON:
        return "AXRadioButton";
    // Every kind of top-level reads as a window: the engine tells dialogs
    // from documents by their buttons, not by their role.
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_WINDOW:
        return "AXWindow";
    case ATSPI_ROLE_APPLICATION:
        return "AXApplication";
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_GROUPING:
    case ATSPI_ROLE_FORM:
        return "AXGroup";
    // A scrolled window and its viewport are one scroll area to the engine.
    case ATSPI_ROLE_SCROLL_PANE:
    case ATSPI_ROLE_VIEWPORT:
        return "AXScrollArea";
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_LIST_BOX:
        return "AXList";
    case ATSPI_ROLE_LIST_ITEM:
        return "AXRow";
    case ATSPI_ROLE_TABLE:
    case ATSPI_ROLE_TREE_TABLE:
        return "AXTable";
    case ATSPI_ROLE_TREE:
        return "AXOutline";
    case ATSPI_ROLE_TEXT:
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
        return "AXTextField";
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
    case ATSPI_ROLE_CAPTION:
        return "AXStaticText";
    case ATSPI_ROLE_ICON:
    case ATSPI_ROLE_IMAGE:
        return "AXImage";
    case ATSPI_ROLE_COMBO_BOX:
        return "AXPopUpButton";
    case ATSPI_ROLE_MENU_BAR:
        return "AXMenuBar";
    case ATSPI_ROLE_MENU:
        return "AXMenu";
    case ATSPI_ROLE_MENU_ITEM:
    case ATSPI_ROLE_CHECK_MENU_ITEM:
    case ATSPI_ROLE_RADIO_MENU_ITEM:
        return "AXMenuItem";
    case ATSPI_ROLE_SLIDER:
        return "AXSlider";
    case ATSPI_ROLE_SCROLL_BAR:
        return "AXScrollBar";
    case ATSPI_ROLE_PROGRESS_BAR:
        return "AXProgressIndicator";
    case ATSPI_ROLE_TOOL_BAR:
        return "AXToolbar";
    case ATSPI_ROLE_PAGE_TAB_LIST:
        return "AXTabGroup";
    case ATSPI_ROLE_SPLIT_PANE:
        return "AXSplitGroup";
    case ATSPI_ROLE_LINK:
        return "AXLink";
    case ATSPI_ROLE_DESKTOP_FRAME:
        return "AXSystemWide";
    default:
        return "AXUnknown";
    }
}

// static
bool AtspiRoleMap::isWindow(AtspiRole role)
{
    switch (role) {
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_DIALOG:
    case ATSPI_ROLE_ALERT:
    case ATSPI_ROLE_FILE_CHOOSER:
    case ATSPI_ROLE_WINDOW:
        return true;
    default:
        return false;
    }
}

// static
const char* AtspiRoleMap::windowSubrole(AtspiRole role)
{
    return role == ATSPI_ROLE_FRAME ? "AXStandardWindow" : "AXDialog";
}

// static
bool AtspiRoleMap::isLayoutOnly(AtspiRole role, bool hasName)
{
    switch (role) {
    case ATSPI_ROLE_FILLER:          // GTK's boxes and grids
    case ATSPI_ROLE_REDUNDANT_OBJECT:
        return true;
    case ATSPI_ROLE_PANEL:
        return !hasName;
    default:
        return false;
    }
}

} // namespace velmora::linux_desktop
