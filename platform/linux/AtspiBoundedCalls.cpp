#include "platform/linux/AtspiBoundedCalls.h"

#include "platform/linux/AtspiTrace.h"
#include "platform/linux/TimeBudgets.h"

namespace velmora::linux_desktop {

namespace {

// libatspi's error domain and codes; its public headers do not name them.
GQuark atspiErrorDomain()
{
    return g_quark_from_static_string("atspi_error");
}
constexpr int kAtspiErrorApplicationGone = 0;
constexpr int kAtspiErrorIpc = 1;

} // namespace

AtspiBoundedCalls::AtspiBoundedCalls(GObjectRef<GDBusConnection> accessibilityBus)
    : m_ledger(std::move(accessibilityBus))
{
}

AccessibilityError AtspiBoundedCalls::call(const std::string& bus, const char* what, const std::function<AccessibilityError(GErrorPtr& error)>& body)
{
    if (m_ledger.isHung(bus))
        return AccessibilityError::CannotComplete;
    ++m_count;
    const gint64 start = g_get_monotonic_time();
    GErrorPtr error;
    AccessibilityError result = body(error);
    const double elapsedMs = static_cast<double>(g_get_monotonic_time() - start) / 1000.0;
    VELMORA_TRACE("%s of %s: %.2f ms%s", what, bus.c_str(), elapsedMs, error || result != AccessibilityError::Success ? ", failed" : "");
    // Only a request that failed after waiting out its budget marks the
    // application hung. One that answered slowly (a loaded machine, an
    // application still starting) is alive, and its next dialog must still
    // be snapped.
    if ((error || result != AccessibilityError::Success) && elapsedMs >= kHungAfterMs) {
        VELMORA_TRACE("%s: no answer after %.0f ms, taken as hung", bus.c_str(), elapsedMs);
        m_ledger.markHung(bus);
        return AccessibilityError::CannotComplete;
    }
    if (error)
        return errorFor(error);
    return result;
}

// static
AccessibilityError AtspiBoundedCalls::errorFor(const GErrorPtr& error)
{
    if (error.matches(atspiErrorDomain(), kAtspiErrorApplicationGone))
        return AccessibilityError::InvalidUIElement;
    if (error.matches(atspiErrorDomain(), kAtspiErrorIpc)) {
        // libatspi reports an object that died with its window as an IPC
        // failure naming it defunct.
        if (error.message().find("defunct") != std::string::npos)
            return AccessibilityError::InvalidUIElement;
        return AccessibilityError::CannotComplete;
    }
    return AccessibilityError::Failure;
}

AccessibilityError AtspiBoundedCalls::hungOr(const std::string& bus, AccessibilityError otherwise) const
{
    return m_ledger.isHung(bus) ? AccessibilityError::CannotComplete : otherwise;
}

} // namespace velmora::linux_desktop
