#include "platform/linux/AtspiObjectReads.h"

#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiEventReadCache.h"
#include "platform/linux/GArrayPtr.h"
#include "platform/linux/GCharPtr.h"

#include <memory>

namespace velmora::linux_desktop {

namespace {

GQuark roleQuark()
{
    static GQuark quark = g_quark_from_static_string("velmora-role");
    return quark;
}

GQuark interfacesQuark()
{
    static GQuark quark = g_quark_from_static_string("velmora-interfaces");
    return quark;
}
constexpr unsigned kInterfacesKnown = 1u;

} // namespace

AtspiObjectReads::AtspiObjectReads(AtspiBoundedCalls& calls, AtspiEventReadCache& cache)
    : m_calls(calls)
    , m_cache(cache)
{
}

AccessibilityError AtspiObjectReads::interfacesOf(AtspiAccessible* accessible, unsigned& interfaces)
{
    interfaces = GPOINTER_TO_UINT(g_object_get_qdata(G_OBJECT(accessible), interfacesQuark()));
    if (interfaces & kInterfacesKnown)
        return AccessibilityError::Success;
    // A request of its own: a frozen application costs one timeout here and
    // the read that follows is refused at once.
    AccessibilityError result = m_calls.call(AtspiElement::busNameOf(accessible), "interfaces", [&](GErrorPtr&) {
        GArrayPtr names(atspi_accessible_get_interfaces(accessible));
        // Every live object offers at least one: none is a failed request,
        // and must not be remembered as the object's interfaces.
        if (!names || names->len == 0)
            return AccessibilityError::InvalidUIElement;
        interfaces = kInterfacesKnown;
        for (guint i = 0; names && i < names->len; ++i) {
            gchar* name = g_array_index(names.get(), gchar*, i);
            if (g_strcmp0(name, "Component") == 0)
                interfaces |= kHasComponent;
            else if (g_strcmp0(name, "Collection") == 0)
                interfaces |= kHasCollection;
            g_free(name);
        }
        return AccessibilityError::Success;
    });
    if (result != AccessibilityError::Success)
        return result;
    g_object_set_qdata(G_OBJECT(accessible), interfacesQuark(), GUINT_TO_POINTER(interfaces));
    return AccessibilityError::Success;
}

GObjectRef<AtspiComponent> AtspiObjectReads::componentOf(AtspiAccessible* accessible)
{
    // Once the interfaces are known libatspi answers this itself.
    unsigned interfaces = 0;
    if (interfacesOf(accessible, interfaces) != AccessibilityError::Success || !(interfaces & kHasComponent))
        return {};
    return GObjectRef<AtspiComponent>::adopt(atspi_accessible_get_component_iface(accessible));
}

GObjectRef<AtspiCollection> AtspiObjectReads::collectionOf(AtspiAccessible* accessible, AccessibilityError& error)
{
    unsigned interfaces = 0;
    error = interfacesOf(accessible, interfaces) == AccessibilityError::CannotComplete ? AccessibilityError::CannotComplete : AccessibilityError::Success;
    if (error != AccessibilityError::Success || !(interfaces & kHasCollection))
        return {};
    return GObjectRef<AtspiCollection>::adopt(atspi_accessible_get_collection_iface(accessible));
}

std::optional<AtspiRole> AtspiObjectReads::roleOf(AtspiAccessible* accessible)
{
    if (gpointer cached = g_object_get_qdata(G_OBJECT(accessible), roleQuark()))
        return static_cast<AtspiRole>(GPOINTER_TO_INT(cached) - 1);
    AtspiRole role = ATSPI_ROLE_INVALID;
    AccessibilityError result = m_calls.call(AtspiElement::busNameOf(accessible), "role", [&](GErrorPtr& error) {
        role = atspi_accessible_get_role(accessible, error.out());
        return AccessibilityError::Success;
    });
    if (result != AccessibilityError::Success || role == ATSPI_ROLE_INVALID)
        return std::nullopt;
    noteRole(accessible, role);
    return role;
}

// static
void AtspiObjectReads::noteRole(AtspiAccessible* accessible, AtspiRole role)
{
    // Kept off by one: no qdata reads as 0.
    if (accessible && !g_object_get_qdata(G_OBJECT(accessible), roleQuark()))
        g_object_set_qdata(G_OBJECT(accessible), roleQuark(), GINT_TO_POINTER(static_cast<int>(role) + 1));
}

std::optional<std::string> AtspiObjectReads::nameOf(AtspiAccessible* accessible)
{
    GCharPtr name;
    AccessibilityError result = m_calls.call(AtspiElement::busNameOf(accessible), "name", [&](GErrorPtr& error) {
        name = GCharPtr(atspi_accessible_get_name(accessible, error.out()));
        return AccessibilityError::Success;
    });
    if (result != AccessibilityError::Success)
        return std::nullopt;
    return name.str();
}

AccessibilityError AtspiObjectReads::textOf(AtspiAccessible* accessible, bool description, std::string& text)
{
    GCharPtr read;
    AccessibilityError result = m_calls.call(AtspiElement::busNameOf(accessible), "title", [&](GErrorPtr& error) {
        read = GCharPtr(description ? atspi_accessible_get_description(accessible, error.out())
                                    : atspi_accessible_get_name(accessible, error.out()));
        return AccessibilityError::Success;
    });
    if (result == AccessibilityError::Success)
        text = read.str();
    return result;
}

std::optional<std::vector<GObjectRef<AtspiAccessible>>> AtspiObjectReads::childrenOf(AtspiAccessible* accessible)
{
    if (const auto* read = m_cache.children.find(accessible)) {
        std::vector<GObjectRef<AtspiAccessible>> copy;
        for (const auto& child : *read)
            copy.push_back(child.share());
        return copy;
    }
    const std::string bus = AtspiElement::busNameOf(accessible);
    int count = 0;
    if (m_calls.call(bus, "child count", [&](GErrorPtr& error) {
            count = atspi_accessible_get_child_count(accessible, error.out());
            return AccessibilityError::Success;
        }) != AccessibilityError::Success)
        return std::nullopt;
    std::vector<GObjectRef<AtspiAccessible>> children;
    for (int i = 0; i < count; ++i) {
        GObjectRef<AtspiAccessible> child;
        AccessibilityError result = m_calls.call(bus, "child", [&](GErrorPtr& error) {
            child = GObjectRef<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(accessible, i, error.out()));
            return AccessibilityError::Success;
        });
        if (result == AccessibilityError::CannotComplete)
            return std::nullopt;
        if (child)
            children.push_back(std::move(child));
    }
    if (m_cache.isOpen()) {
        std::vector<GObjectRef<AtspiAccessible>> kept;
        for (const auto& child : children)
            kept.push_back(child.share());
        m_cache.keep(m_cache.children, accessible, std::move(kept));
    }
    return children;
}

AccessibilityError AtspiObjectReads::stateSetOf(AtspiAccessible* accessible, GObjectRef<AtspiStateSet>& states)
{
    if (const auto* read = m_cache.states.find(accessible)) {
        states = read->share();
        return AccessibilityError::Success;
    }
    AccessibilityError result = m_calls.call(AtspiElement::busNameOf(accessible), "states", [&](GErrorPtr&) {
        states = GObjectRef<AtspiStateSet>::adopt(atspi_accessible_get_state_set(accessible));
        return states ? AccessibilityError::Success : AccessibilityError::CannotComplete;
    });
    if (result == AccessibilityError::Success)
        m_cache.keep(m_cache.states, accessible, states.share());
    return result;
}

bool AtspiObjectReads::stateOf(AtspiAccessible* accessible, AtspiStateType state, AccessibilityError& error)
{
    GObjectRef<AtspiStateSet> states;
    error = stateSetOf(accessible, states);
    auto has = [&](AtspiStateType s) { return states && atspi_state_set_contains(states.get(), s); };
    if (error == AccessibilityError::Success && has(ATSPI_STATE_DEFUNCT))
        error = AccessibilityError::InvalidUIElement;
    return error == AccessibilityError::Success && has(state);
}

AccessibilityError AtspiObjectReads::parentOf(const std::string& bus, AtspiAccessible* accessible, GObjectRef<AtspiAccessible>& parent)
{
    return m_calls.call(bus, "parent", [&](GErrorPtr& error) {
        parent = GObjectRef<AtspiAccessible>::adopt(atspi_accessible_get_parent(accessible, error.out()));
        return AccessibilityError::Success;
    });
}

AccessibilityError AtspiObjectReads::rawExtentsOf(AtspiAccessible* accessible, AtspiCoordType type, AtspiRect& rect)
{
    const std::string bus = AtspiElement::busNameOf(accessible);
    auto component = componentOf(accessible);
    if (!component)
        return m_calls.hungOr(bus, AccessibilityError::AttributeUnsupported);
    AtspiRect* raw = nullptr;
    AccessibilityError result = m_calls.call(bus, "extents", [&](GErrorPtr& error) {
        raw = atspi_component_get_extents(component.get(), type, error.out());
        return AccessibilityError::Success;
    });
    std::unique_ptr<AtspiRect, decltype(&g_free)> owned(raw, &g_free);
    if (result != AccessibilityError::Success)
        return result;
    if (!raw)
        return AccessibilityError::NoValue;
    rect = *raw;
    return AccessibilityError::Success;
}

} // namespace velmora::linux_desktop
