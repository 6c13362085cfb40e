#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <vector>

namespace velmora::linux_desktop {

class AtspiApplicationToolkits;
class AtspiBoundedCalls;
class AtspiEventReadCache;
class AtspiExtentsReader;
class AtspiObjectReads;

// The buttons that answer a window: its default button (the push button in
// the is-default state; for GTK 4, by Gtk4Conventions' rule, in dialogs
// only) and its cancel button (the first push button labelled as toolkits
// label declining, DecliningLabels). One search request per window where the
// toolkit offers AT-SPI's Collection, a bounded walk otherwise. A window
// without such a button answers Success with an empty element.
class AtspiButtonSearch {
public:
    // At most this many buttons are compared by label for the cancel button.
    static constexpr int kMaxButtons = 64;

    // All borrowed; they outlive this object.
    AtspiButtonSearch(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiApplicationToolkits& toolkits,
        AtspiExtentsReader& extents, AtspiEventReadCache& cache);
    AtspiButtonSearch(const AtspiButtonSearch&) = delete;
    AtspiButtonSearch& operator=(const AtspiButtonSearch&) = delete;

    AccessibilityError defaultButton(AtspiAccessible* window, AccessibleElement& button);
    AccessibilityError cancelButton(AtspiAccessible* window, AccessibleElement& button);

private:
    enum class Only { Any, Default };
    // The window's push buttons in tree order, shown ones only where the
    // toolkit says which are shown.
    AccessibilityError pushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons, Only only);
    AccessibilityError collectPushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons, Only only,
        bool onlyShowing);
    AccessibilityError gtk4DefaultButton(AtspiAccessible* window, AccessibleElement& button);
    // GTK 4: whether a button found in a window has an area on screen.
    bool hasArea(AtspiAccessible* button, AccessibilityError& error);

    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiApplicationToolkits& m_toolkits;
    AtspiExtentsReader& m_extents;
    AtspiEventReadCache& m_cache;
};

} // namespace velmora::linux_desktop
