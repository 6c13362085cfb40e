#include "platform/linux/AtspiEventTranslator.h"

#include "platform/linux/AtspiApplicationDirectory.h"
#include "platform/linux/AtspiApplicationToolkits.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiEventQueue.h"
#include "platform/linux/AtspiEventReadCache.h"
#include "platform/linux/AtspiFocusState.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiObserverRegistry.h"
#include "platform/linux/AtspiRoleMap.h"
#include "platform/linux/AtspiTrace.h"
#include "platform/linux/AtspiWindowSystem.h"
#include "platform/linux/SurfaceLocator.h"

namespace velmora::linux_desktop {

AtspiEventTranslator::AtspiEventTranslator(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiEventReadCache& cache,
    AtspiApplicationDirectory& directory, AtspiApplicationToolkits& toolkits, AtspiFocusState& focus,
    AtspiObserverRegistry& observers, const AtspiWindowSystem& windowSystem)
    : m_calls(calls)
    , m_reads(reads)
    , m_cache(cache)
    , m_directory(directory)
    , m_toolkits(toolkits)
    , m_focus(focus)
    , m_observers(observers)
    , m_windowSystem(windowSystem)
{
}

void AtspiEventTranslator::handle(const AtspiQueuedEvent& event)
{
    if (m_windowSystem.surfaces)
        m_windowSystem.surfaces->forgetAnswers();
    m_cache.open(m_calls.count());
    const std::string& bus = event.bus;
    const std::string& type = event.type;
    if (type == AtspiQueuedEvent::kRegistryAdd || type == AtspiQueuedEvent::kRegistryRemove) {
        applicationJoinedOrLeft(bus, type == AtspiQueuedEvent::kRegistryAdd);
        return;
    }
    const pid_t pid = m_directory.pidForBus(bus, event.source.get());
    VELMORA_TRACE("%s from %s (pid %d)", type.c_str(), bus.c_str(), static_cast<int>(pid));
    const AccessibleElement source = AtspiElement::make(event.source.share());
    auto deliver = [&](const char* notification, const AccessibleElement& element) { m_observers.deliver(pid, notification, element); };
    std::string effective = type;
    if (type == "window:activate" || type == "window:deactivate" || type == "object:state-changed:active") {
        // Other toolkits' active states (menus, items) are not windows
        // taking the focus.
        const bool gtk4 = m_toolkits.followsGtk4(bus);
        if ((type == "object:state-changed:active") != gtk4)
            return;
        if (gtk4) {
            auto role = m_reads.roleOf(event.source.get());
            if (role && !AtspiRoleMap::isWindow(*role))
                return;
            effective = event.detail1 ? "window:activate" : "window:deactivate";
        }
    }
    if (effective == "window:activate") {
        const bool appWasActive = m_focus.ownsActiveWindow(bus);
        m_focus.windowActivated(event.source.share(), bus);
        if (!appWasActive)
            deliver("AXApplicationActivated", m_directory.applicationElement(bus));
        deliver("AXFocusedWindowChanged", source);
        deliver("AXMainWindowChanged", source);
    } else if (effective == "window:deactivate") {
        m_focus.windowLeft(event.source.get());
        // A dialog taking the focus from its own application's window
        // deactivates that window after activating the dialog: the
        // application stays active then.
        if (!m_focus.ownsActiveWindow(bus))
            deliver("AXApplicationDeactivated", m_directory.applicationElement(bus));
    } else if (type == "window:create") {
        deliver("AXWindowCreated", source);
    } else if (type == "window:destroy") {
        m_focus.windowLeft(event.source.get());
        deliver("AXUIElementDestroyed", source);
    } else if (type == "window:minimize") {
        deliver("AXApplicationHidden", m_directory.applicationElement(bus));
    } else if (type == "window:restore") {
        deliver("AXApplicationShown", m_directory.applicationElement(bus));
    } else if (type == "object:state-changed:focused" && event.detail1) {
        m_focus.focusMoved(bus, event.source.share());
        deliver("AXFocusedUIElementChanged", source);
    }
}

void AtspiEventTranslator::applicationJoinedOrLeft(const std::string& bus, bool joined)
{
    VELMORA_TRACE("%s %s the accessibility bus", bus.c_str(), joined ? "joined" : "left");
    pid_t pid = 0;
    if (joined) {
        pid = m_directory.joined(bus);
    } else {
        pid = m_directory.left(bus);
        m_calls.ledger().forget(bus);
        m_focus.forget(bus);
        m_toolkits.forget(bus);
    }
    if (pid > 0 && m_onApplication) {
        auto handler = m_onApplication;
        handler(pid, joined);
    }
}

} // namespace velmora::linux_desktop
