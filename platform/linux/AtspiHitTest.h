#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <functional>
#include <sys/types.h>

namespace velmora::linux_desktop {

class AtspiApplicationToolkits;
class AtspiBoundedCalls;
class AtspiElement;
class AtspiExtentsReader;
class AtspiObjectReads;
class AtspiTreeWalk;
struct AtspiWindowSystem;

// The deepest element under a point: the application there is found by the
// display server (X11, or a compositor that tells), its window by the
// windows' extents, and the element by asking the toolkit down from there.
class AtspiHitTest {
public:
    // The application element of a process; empty when it has none.
    using ApplicationOf = std::function<AccessibleElement(pid_t pid)>;

    // All borrowed; they outlive this object.
    AtspiHitTest(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiTreeWalk& tree, AtspiExtentsReader& extents,
        AtspiApplicationToolkits& toolkits, const AtspiWindowSystem& windowSystem, ApplicationOf applicationOf);
    AtspiHitTest(const AtspiHitTest&) = delete;
    AtspiHitTest& operator=(const AtspiHitTest&) = delete;

    // `element` is the system-wide element, an application or an object to
    // search from. NoValue when nothing of any application is there.
    AccessibilityError elementAt(const AtspiElement& element, float x, float y, AccessibleElement& result);

private:
    AccessibilityError deepestAt(AtspiAccessible* start, int x, int y, AccessibleElement& result);
    // The window's position and size in the pointer's coordinates; false
    // when it has none (gone, or not on screen).
    bool frameOf(AtspiAccessible* window, AtspiRect& frame);

    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiTreeWalk& m_tree;
    AtspiExtentsReader& m_extents;
    AtspiApplicationToolkits& m_toolkits;
    const AtspiWindowSystem& m_windowSystem;
    ApplicationOf m_applicationOf;
};

} // namespace velmora::linux_desktop
