#pragma once

#include "platform/Accessibility.h"

#include <atspi/atspi.h>

#include <string>
#include <vector>

namespace velmora::linux_desktop {

class AtspiApplicationDirectory;
class AtspiApplicationToolkits;
class AtspiBoundedCalls;
class AtspiButtonSearch;
class AtspiElement;
class AtspiExtentsReader;
class AtspiFocusState;
class AtspiObjectReads;
class AtspiTreeWalk;
struct AtspiWindowSystem;

// The interface's attributes read from AT-SPI:
// - an application element is the AT-SPI application of a process;
// - "AXWindows" are its top-levels (newest first), "AXFocusedWindow" its
//   active window, "AXFrontmost" whether it owns the active window, "AXHidden"
//   whether all its windows are iconified;
// - "AXChildren" and "AXParent" skip layout-only containers (AtspiTreeWalk);
// - "AXDefaultButton" and "AXCancelButton" are AtspiButtonSearch's answers;
// - without an X11 window locator (a Wayland session) windows say
//   "AXWindowRelativePositions": extents are then their window's own
//   (AtspiExtentsReader);
// - GTK 4 applications' windows' activation is taken from the window
//   manager where their states do not tell.
class AtspiAttributeReader {
public:
    // All borrowed; they outlive this object.
    AtspiAttributeReader(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiTreeWalk& tree, AtspiExtentsReader& extents,
        AtspiButtonSearch& buttons, AtspiApplicationToolkits& toolkits, AtspiApplicationDirectory& directory, AtspiFocusState& focus,
        const AtspiWindowSystem& windowSystem);
    AtspiAttributeReader(const AtspiAttributeReader&) = delete;
    AtspiAttributeReader& operator=(const AtspiAttributeReader&) = delete;

    AccessibilityError names(const AtspiElement& element, std::vector<std::string>& names);
    AccessibilityError value(const AtspiElement& element, const std::string& attribute, AttributeValue& value);

    // The attributes an object of `role` offers, given the kHas* bits of
    // its interfaces (AtspiObjectReads) and whether its extents are its
    // window's own.
    static std::vector<std::string> objectAttributeNames(AtspiRole role, unsigned interfaces, bool windowRelative);

private:
    AccessibilityError valueForApplication(const AtspiElement& app, const std::string& attribute, AttributeValue& value);
    AccessibilityError valueForObject(const AtspiElement& element, const std::string& attribute, AttributeValue& value);

    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiTreeWalk& m_tree;
    AtspiExtentsReader& m_extents;
    AtspiButtonSearch& m_buttons;
    AtspiApplicationToolkits& m_toolkits;
    AtspiApplicationDirectory& m_directory;
    AtspiFocusState& m_focus;
    const AtspiWindowSystem& m_windowSystem;
};

} // namespace velmora::linux_desktop
