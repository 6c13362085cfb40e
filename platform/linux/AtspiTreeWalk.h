#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <string>
#include <vector>

namespace velmora::linux_desktop {

class AtspiBoundedCalls;
class AtspiEventReadCache;
class AtspiObjectReads;

// The tree as the engine sees it: an application's windows, and children
// and parents with layout-only containers skipped (AtspiRoleMap; a panel
// without a name counts as one). Every walk is bounded in depth.
class AtspiTreeWalk {
public:
    // Deeper than any dialog's layout nesting; bounds the cost of a
    // pathological tree.
    static constexpr int kMaxLayoutDepth = 8;
    // How far a walk up to a window, or down to a point, goes.
    static constexpr int kMaxDepth = 32;

    // All borrowed; they outlive this object.
    AtspiTreeWalk(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiEventReadCache& cache);
    AtspiTreeWalk(const AtspiTreeWalk&) = delete;
    AtspiTreeWalk& operator=(const AtspiTreeWalk&) = delete;

    // The top-levels of the application whose root is `app`, newest first
    // (as a stacking order would list them).
    AccessibilityError windowsOf(AtspiAccessible* app, std::vector<GObjectRef<AtspiAccessible>>& windows);
    // Appends the children the engine sees; CannotComplete when the
    // application did not answer.
    AccessibilityError visibleChildren(AtspiAccessible* accessible, std::vector<GObjectRef<AtspiAccessible>>& out, int depth = 0);
    // The nearest parent that is no layout container: an application
    // element at the top; NoValue above it.
    AccessibilityError visibleParent(AtspiAccessible* accessible, AccessibleElement& parent);
    // The object whose parent is the application (the object itself at the top).
    AccessibilityError topLevelOf(AtspiAccessible* accessible, AccessibleElement& topLevel);
    // The window an object lies in (itself for a window); null when the walk
    // failed or found none.
    GObjectRef<AtspiAccessible> windowOf(AtspiAccessible* accessible);

private:
    // Whether `accessible`, of `role`, is a container the engine skips.
    bool isLayoutOnly(AtspiAccessible* accessible, AtspiRole role);

    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiEventReadCache& m_cache;
};

} // namespace velmora::linux_desktop
