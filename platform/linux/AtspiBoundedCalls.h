#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/HungAppLedger.h"

#include <gio/gio.h>

#include <functional>
#include <string>

namespace velmora::linux_desktop {

// Every request the backend sends to an application goes through here. A
// request to an application in the hung ledger is refused at once with
// CannotComplete; one that fails after waiting out its budget (kHungAfterMs)
// puts the application in the ledger. libatspi's own timeout
// (kAtspiTimeoutSettingMs) bounds each call; GDBus calls made in a body pass
// kAtspiCallMs themselves.
class AtspiBoundedCalls {
public:
    // `accessibilityBus` pings hung applications; null leaves them hung
    // until forgotten.
    explicit AtspiBoundedCalls(GObjectRef<GDBusConnection> accessibilityBus);
    AtspiBoundedCalls(const AtspiBoundedCalls&) = delete;
    AtspiBoundedCalls& operator=(const AtspiBoundedCalls&) = delete;

    // One guarded request to the application owning `bus`. `what` names it
    // in the trace. Returns what `body` returned, the error it left in its
    // GError mapped by errorFor(), or CannotComplete. Some of libatspi's
    // calls report no error, only an empty answer: their bodies say so by
    // what they return.
    AccessibilityError call(const std::string& bus, const char* what, const std::function<AccessibilityError(GErrorPtr& error)>& body);
    // libatspi's errors in the interface's terms: an application gone, or
    // an object gone with its window, is InvalidUIElement; other IPC
    // failures CannotComplete.
    static AccessibilityError errorFor(const GErrorPtr& error);

    // CannotComplete while `bus` is hung, else `otherwise`: what a read that
    // came back empty means.
    AccessibilityError hungOr(const std::string& bus, AccessibilityError otherwise) const;
    bool isHung(const std::string& bus) const { return m_ledger.isHung(bus); }
    HungAppLedger& ledger() { return m_ledger; }
    // Requests sent so far, for cost measurements.
    long count() const { return m_count; }

private:
    HungAppLedger m_ledger;
    long m_count{0};
};

} // namespace velmora::linux_desktop
