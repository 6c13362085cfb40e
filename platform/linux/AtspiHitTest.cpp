#include "platform/linux/AtspiHitTest.h"

#include "platform/linux/AtspiApplicationToolkits.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiExtentsReader.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiTreeWalk.h"
#include "platform/linux/AtspiWindowSystem.h"
#include "platform/linux/SurfaceLocator.h"
#include "platform/linux/X11WindowLocator.h"

#include <optional>

namespace velmora::linux_desktop {

AtspiHitTest::AtspiHitTest(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiTreeWalk& tree, AtspiExtentsReader& extents,
    AtspiApplicationToolkits& toolkits, const AtspiWindowSystem& windowSystem, ApplicationOf applicationOf)
    : m_calls(calls)
    , m_reads(reads)
    , m_tree(tree)
    , m_extents(extents)
    , m_toolkits(toolkits)
    , m_windowSystem(windowSystem)
    , m_applicationOf(std::move(applicationOf))
{
}

AccessibilityError AtspiHitTest::deepestAt(AtspiAccessible* start, int x, int y, AccessibleElement& result)
{
    const std::string bus = AtspiElement::busNameOf(start);
    AtspiCoordType coordinates = ATSPI_COORD_TYPE_SCREEN;
    if (AccessibilityError error = m_extents.pointForHitTest(start, x, y, coordinates); error != AccessibilityError::Success)
        return error;
    auto current = GObjectRef<AtspiAccessible>::retain(start);
    for (int depth = 0; depth < AtspiTreeWalk::kMaxDepth; ++depth) {
        auto component = m_reads.componentOf(current.get());
        if (!component) {
            if (m_calls.isHung(bus))
                return AccessibilityError::CannotComplete;
            break;
        }
        GObjectRef<AtspiAccessible> child;
        AccessibilityError error = m_calls.call(bus, "child at point", [&](GErrorPtr& gerror) {
            child = GObjectRef<AtspiAccessible>::adopt(
                atspi_component_get_accessible_at_point(component.get(), x, y, coordinates, gerror.out()));
            return AccessibilityError::Success;
        });
        if (error != AccessibilityError::Success)
            return error;
        if (!child || child.get() == current.get())
            break;
        current = std::move(child);
    }
    result = AtspiElement::make(std::move(current));
    return AccessibilityError::Success;
}

bool AtspiHitTest::frameOf(AtspiAccessible* window, AtspiRect& frame)
{
    // A window that is gone, or not on screen, reports a negative size.
    return m_extents.extentsOf(window, frame) == AccessibilityError::Success && frame.width >= 0 && frame.height >= 0;
}

AccessibilityError AtspiHitTest::elementAt(const AtspiElement& element, float x, float y, AccessibleElement& result)
{
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    AccessibleElement app;
    const AtspiElement* appRef = &element;
    // The compositor named the window there: shown, whatever states the
    // application has yet told of it (a window just shown may still read as
    // not showing for a moment).
    bool vouched = false;
    if (element.kind() == AtspiElement::Kind::SystemWide) {
        X11WindowLocator* windows = m_windowSystem.x11;
        pid_t pid = windows ? windows->pidOfWindowAt(ix, iy) : 0;
        if (!windows && m_windowSystem.surfaces) {
            // A screen point, asked of windows whose positions are their own.
            if (auto surface = m_windowSystem.surfaces->surfaceAt(ix, iy)) {
                pid = surface->pid;
                ix -= surface->x;
                iy -= surface->y;
                x = static_cast<float>(ix);
                y = static_cast<float>(iy);
                vouched = true;
            }
        }
        app = pid > 0 ? m_applicationOf(pid) : AccessibleElement();
        if (!app)
            return AccessibilityError::NoValue;
        appRef = app.refAs<AtspiElement>();
    }
    if (appRef->kind() != AtspiElement::Kind::Application)
        return deepestAt(appRef->accessible(), ix, iy, result);
    std::vector<GObjectRef<AtspiAccessible>> windows;
    if (AccessibilityError error = m_tree.windowsOf(appRef->accessible(), windows); error != AccessibilityError::Success)
        return error;
    std::optional<GObjectRef<AtspiAccessible>> unshown;
    for (const auto& window : windows) {
        AtspiRect frame{};
        if (!frameOf(window.get(), frame))
            continue;
        const float left = static_cast<float>(frame.x), top = static_cast<float>(frame.y);
        if (x < left || y < top || x >= left + static_cast<float>(frame.width) || y >= top + static_cast<float>(frame.height))
            continue;
        GObjectRef<AtspiStateSet> states;
        auto has = [&](AtspiStateType state) { return states && atspi_state_set_contains(states.get(), state); };
        if (m_reads.stateSetOf(window.get(), states) != AccessibilityError::Success
            || !(has(ATSPI_STATE_SHOWING) || (m_toolkits.followsGtk4(appRef->busName()) && has(ATSPI_STATE_VISIBLE)))) {
            if (vouched && !unshown)
                unshown = window.share();
            continue;
        }
        return deepestAt(window.get(), ix, iy, result);
    }
    if (unshown)
        return deepestAt(unshown->get(), ix, iy, result);
    return AccessibilityError::NoValue;
}

} // namespace velmora::linux_desktop
