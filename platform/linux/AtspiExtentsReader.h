#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <optional>
#include <utility>

namespace velmora::linux_desktop {

class AtspiApplicationDirectory;
class AtspiApplicationToolkits;
class AtspiBoundedCalls;
class AtspiEventReadCache;
class AtspiObjectReads;
class AtspiTreeWalk;
struct AtspiWindowSystem;

// Where an object lies, in the coordinates the pointer is moved in:
// - with X11, on the screen; GTK 4 answers only relative to its window,
//   which its X window places (Gtk4Conventions::windowMargin);
// - without X11 (a Wayland session), relative to the window, counted from
//   the corner of its surface, where the compositor counts window-relative
//   pointer moves from: GTK 4 and Qt count from inside their client-side
//   decorations, which the surface margin adds back; X clients' windows
//   (XWayland) are counted from the window manager's frame.
// Reads are kept for the delivery of one event (AtspiEventReadCache).
class AtspiExtentsReader {
public:
    using Origin = std::optional<std::pair<int, int>>;

    // All borrowed; they outlive this object.
    AtspiExtentsReader(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiTreeWalk& tree, AtspiApplicationToolkits& toolkits,
        AtspiApplicationDirectory& directory, AtspiEventReadCache& cache, const AtspiWindowSystem& windowSystem);
    AtspiExtentsReader(const AtspiExtentsReader&) = delete;
    AtspiExtentsReader& operator=(const AtspiExtentsReader&) = delete;

    // A negative size is a window gone or not on screen: the caller decides.
    // AttributeUnsupported for an object without a component; NoValue when
    // it cannot be placed.
    AccessibilityError extentsOf(AtspiAccessible* accessible, AtspiRect& rect);
    // A point in the pointer's coordinates, made into the terms `start`'s
    // toolkit answers a hit test in (screen or window), which it returns.
    AccessibilityError pointForHitTest(AtspiAccessible* start, int& x, int& y, AtspiCoordType& coordinates);

private:
    // GTK 4: where a window's own origin lies on the screen, from its X window.
    Origin windowOrigin(AtspiAccessible* window);
    // In a Wayland session: the X screen position of the frame around the X
    // client window holding `accessible`, from which the compositor counts
    // window-relative moves; none for a Wayland client, or without XWayland.
    Origin xwaylandFrameOf(AtspiAccessible* accessible);

    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiTreeWalk& m_tree;
    AtspiApplicationToolkits& m_toolkits;
    AtspiApplicationDirectory& m_directory;
    AtspiEventReadCache& m_cache;
    const AtspiWindowSystem& m_windowSystem;
};

} // namespace velmora::linux_desktop
