#include "platform/linux/AtspiTreeWalk.h"

#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiEventReadCache.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiRoleMap.h"

#include <algorithm>

namespace velmora::linux_desktop {

AtspiTreeWalk::AtspiTreeWalk(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiEventReadCache& cache)
    : m_calls(calls)
    , m_reads(reads)
    , m_cache(cache)
{
}

AccessibilityError AtspiTreeWalk::windowsOf(AtspiAccessible* app, std::vector<GObjectRef<AtspiAccessible>>& windows)
{
    auto children = m_reads.childrenOf(app);
    if (!children)
        return m_calls.hungOr(AtspiElement::busNameOf(app), AccessibilityError::InvalidUIElement);
    windows.clear();
    for (auto& child : *children) {
        auto role = m_reads.roleOf(child.get());
        if (role && AtspiRoleMap::isWindow(*role))
            windows.push_back(std::move(child));
    }
    std::reverse(windows.begin(), windows.end());
    return AccessibilityError::Success;
}

bool AtspiTreeWalk::isLayoutOnly(AtspiAccessible* accessible, AtspiRole role)
{
    if (AtspiRoleMap::isLayoutOnly(role, true))
        return true;
    if (role != ATSPI_ROLE_PANEL)
        return false;
    auto name = m_reads.nameOf(accessible);
    return name && name->empty();
}

AccessibilityError AtspiTreeWalk::visibleChildren(AtspiAccessible* accessible, std::vector<GObjectRef<AtspiAccessible>>& out, int depth)
{
    auto children = m_reads.childrenOf(accessible);
    if (!children)
        return AccessibilityError::CannotComplete;
    for (auto& child : *children) {
        auto role = m_reads.roleOf(child.get());
        if (!role)
            continue;
        if (isLayoutOnly(child.get(), *role) && depth < kMaxLayoutDepth) {
            if (AccessibilityError error = visibleChildren(child.get(), out, depth + 1); error == AccessibilityError::CannotComplete)
                return error;
        } else {
            out.push_back(std::move(child));
        }
    }
    return AccessibilityError::Success;
}

AccessibilityError AtspiTreeWalk::visibleParent(AtspiAccessible* accessible, AccessibleElement& parentElement)
{
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto current = GObjectRef<AtspiAccessible>::retain(accessible);
    for (int depth = 0; depth <= kMaxLayoutDepth; ++depth) {
        GObjectRef<AtspiAccessible> parent;
        AccessibilityError result = m_reads.parentOf(bus, current.get(), parent);
        if (result != AccessibilityError::Success)
            return result;
        if (!parent)
            return AccessibilityError::NoValue;
        auto role = m_reads.roleOf(parent.get());
        if (!role)
            return AccessibilityError::CannotComplete;
        if (*role == ATSPI_ROLE_APPLICATION) {
            parentElement = AtspiElement::make(std::move(parent), AtspiElement::Kind::Application);
            return AccessibilityError::Success;
        }
        if (!isLayoutOnly(parent.get(), *role)) {
            parentElement = AtspiElement::make(std::move(parent));
            return AccessibilityError::Success;
        }
        current = std::move(parent);
    }
    return AccessibilityError::NoValue;
}

AccessibilityError AtspiTreeWalk::topLevelOf(AtspiAccessible* accessible, AccessibleElement& topLevel)
{
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto current = GObjectRef<AtspiAccessible>::retain(accessible);
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        GObjectRef<AtspiAccessible> parent;
        AccessibilityError result = m_reads.parentOf(bus, current.get(), parent);
        if (result != AccessibilityError::Success)
            return result;
        auto role = parent ? m_reads.roleOf(parent.get()) : std::nullopt;
        if (!parent || !role || *role == ATSPI_ROLE_APPLICATION) {
            topLevel = AtspiElement::make(std::move(current));
            return AccessibilityError::Success;
        }
        current = std::move(parent);
    }
    return AccessibilityError::NoValue;
}

GObjectRef<AtspiAccessible> AtspiTreeWalk::windowOf(AtspiAccessible* accessible)
{
    if (const auto* read = m_cache.windowOfButton.find(accessible))
        return read->share();
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto current = GObjectRef<AtspiAccessible>::retain(accessible);
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        auto role = m_reads.roleOf(current.get());
        if (!role)
            return {};
        if (AtspiRoleMap::isWindow(*role))
            return current;
        GObjectRef<AtspiAccessible> parent;
        if (m_reads.parentOf(bus, current.get(), parent) != AccessibilityError::Success || !parent)
            return {};
        current = std::move(parent);
    }
    return {};
}

} // namespace velmora::linux_desktop
