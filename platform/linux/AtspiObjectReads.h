#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <optional>
#include <string>
#include <vector>

namespace velmora::linux_desktop {

class AtspiBoundedCalls;
class AtspiEventReadCache;

// The reads of one object's own properties, each a bounded call (see
// AtspiBoundedCalls). Roles and interfaces never change for the life of an
// object and are asked once; states, children and extents are kept for the
// delivery of one event (AtspiEventReadCache). An empty answer means the
// read failed: the caller asks the ledger whether the application is hung.
class AtspiObjectReads {
public:
    // Interfaces an object offers, as bits.
    static constexpr unsigned kHasComponent = 2u;
    static constexpr unsigned kHasCollection = 4u;

    // Both borrowed; they outlive this object.
    AtspiObjectReads(AtspiBoundedCalls& calls, AtspiEventReadCache& cache);
    AtspiObjectReads(const AtspiObjectReads&) = delete;
    AtspiObjectReads& operator=(const AtspiObjectReads&) = delete;

    std::optional<AtspiRole> roleOf(AtspiAccessible* accessible);
    // Records a role learnt without asking (a search that admits one role).
    static void noteRole(AtspiAccessible* accessible, AtspiRole role);
    // The kHas* bits; CannotComplete when the application did not answer.
    AccessibilityError interfacesOf(AtspiAccessible* accessible, unsigned& interfaces);
    // Null when the object offers none, or did not say.
    GObjectRef<AtspiComponent> componentOf(AtspiAccessible* accessible);
    GObjectRef<AtspiCollection> collectionOf(AtspiAccessible* accessible, AccessibilityError& error);
    std::optional<std::string> nameOf(AtspiAccessible* accessible);
    // The accessible name (AXTitle) or description, in one request.
    AccessibilityError textOf(AtspiAccessible* accessible, bool description, std::string& text);
    // Raw children, layout containers included.
    std::optional<std::vector<GObjectRef<AtspiAccessible>>> childrenOf(AtspiAccessible* accessible);
    AccessibilityError stateSetOf(AtspiAccessible* accessible, GObjectRef<AtspiStateSet>& states);
    // Whether the object is in `state`; `error` is InvalidUIElement for an
    // object gone with its window (DEFUNCT).
    bool stateOf(AtspiAccessible* accessible, AtspiStateType state, AccessibilityError& error);
    // The raw parent; null at the top.
    AccessibilityError parentOf(const std::string& bus, AtspiAccessible* accessible, GObjectRef<AtspiAccessible>& parent);
    // One uncached extents request in the toolkit's own terms.
    AccessibilityError rawExtentsOf(AtspiAccessible* accessible, AtspiCoordType type, AtspiRect& rect);

private:
    AtspiBoundedCalls& m_calls;
    AtspiEventReadCache& m_cache;
};

} // namespace velmora::linux_desktop
