#include "platform/linux/AtspiAccessibility.h"

#include "platform/linux/AtspiApplicationDirectory.h"
#include "platform/linux/AtspiApplicationToolkits.h"
#include "platform/linux/AtspiAttributeReader.h"
#include "platform/linux/AtspiBoundedCalls.h"
#include "platform/linux/AtspiBusStatus.h"
#include "platform/linux/AtspiButtonSearch.h"
#include "platform/linux/AtspiEventQueue.h"
#include "platform/linux/AtspiEventReadCache.h"
#include "platform/linux/AtspiEventSource.h"
#include "platform/linux/AtspiEventTranslator.h"
#include "platform/linux/AtspiExtentsReader.h"
#include "platform/linux/AtspiFocusState.h"
#include "platform/linux/AtspiHitTest.h"
#include "platform/linux/AtspiObjectReads.h"
#include "platform/linux/AtspiObserver.h"
#include "platform/linux/AtspiObserverRegistry.h"
#include "platform/linux/AtspiTrace.h"
#include "platform/linux/AtspiTreeWalk.h"
#include "platform/linux/SurfaceLocator.h"

namespace velmora::linux_desktop {

AtspiAccessibility::AtspiAccessibility(Buses buses, X11WindowLocator* windows, XWaylandWindows* xwayland)
    : m_buses(std::move(buses))
    , m_windowSystem{windows, xwayland, nullptr, true}
    , m_calls(std::make_unique<AtspiBoundedCalls>(m_buses.accessibility.share()))
    , m_cache(std::make_unique<AtspiEventReadCache>())
    , m_reads(std::make_unique<AtspiObjectReads>(*m_calls, *m_cache))
    , m_tree(std::make_unique<AtspiTreeWalk>(*m_calls, *m_reads, *m_cache))
    , m_focus(std::make_unique<AtspiFocusState>())
    , m_directory(std::make_unique<AtspiApplicationDirectory>(m_buses.accessibility.share()))
    , m_toolkits(std::make_unique<AtspiApplicationToolkits>(m_buses.accessibility.share(), *m_calls, *m_reads, *m_directory,
          m_windowSystem))
    , m_extents(std::make_unique<AtspiExtentsReader>(*m_calls, *m_reads, *m_tree, *m_toolkits, *m_directory, *m_cache,
          m_windowSystem))
    , m_buttons(std::make_unique<AtspiButtonSearch>(*m_calls, *m_reads, *m_toolkits, *m_extents, *m_cache))
    , m_attributes(std::make_unique<AtspiAttributeReader>(*m_calls, *m_reads, *m_tree, *m_extents, *m_buttons, *m_toolkits,
          *m_directory, *m_focus, m_windowSystem))
    , m_hitTest(std::make_unique<AtspiHitTest>(*m_calls, *m_reads, *m_tree, *m_extents, *m_toolkits, m_windowSystem,
          [this](pid_t pid) { return createApplication(pid); }))
    , m_observers(std::make_unique<AtspiObserverRegistry>())
    , m_translator(std::make_unique<AtspiEventTranslator>(*m_calls, *m_reads, *m_cache, *m_directory, *m_toolkits, *m_focus,
          *m_observers, m_windowSystem))
    , m_queue(std::make_unique<AtspiEventQueue>([this](const AtspiQueuedEvent& event) { m_translator->handle(event); },
          [this] { m_cache->close(); }))
{
    // While an application was frozen its focus changes could not be acted
    // on: once it answers again, its active window is announced anew.
    m_calls->ledger().setRecoveryHandler([this](const std::string& bus) {
        VELMORA_TRACE("%s answers again", bus.c_str());
        if (m_focus->activeWindow() && m_focus->activeBus() == bus)
            m_queue->enqueue({"window:activate", m_focus->shareActiveWindow(), 0, bus});
    });
    // Without the accessibility bus libatspi cannot start: it is not touched.
    if (m_buses.accessibility)
        m_source = std::make_unique<AtspiEventSource>(m_buses.accessibility.share(), *m_queue);
}

AtspiAccessibility::~AtspiAccessibility()
{
    m_source.reset();
    m_calls->ledger().setRecoveryHandler({});
}

// static
std::string AtspiAccessibility::busAddress(GDBusConnection* sessionBus)
{
    return AtspiBusStatus::address(sessionBus);
}

bool AtspiAccessibility::isAPIEnabled()
{
    // The pane never joins the bus (the agent does): for it, the switch is
    // the answer. Nothing here may wait on the registry, which the pane must
    // answer without.
    return AtspiBusStatus::isEnabled(m_buses.session.get());
}

std::vector<pid_t> AtspiAccessibility::applicationPids()
{
    return m_directory->pids();
}

pid_t AtspiAccessibility::activePid()
{
    // The compositor, where it tells, as X11's window manager is asked: the
    // accessibility events lag behind it (between a window going and the
    // next one hearing it has the focus, an application that quits with its
    // window would still be the active one here).
    if (!m_windowSystem.x11 && m_windowSystem.surfaces) {
        if (auto focused = m_windowSystem.surfaces->focusedProcess())
            return *focused;
    }
    if (m_focus->activeBus().empty())
        return 0;
    return m_directory->lastPidForBus(m_focus->activeBus());
}

void AtspiAccessibility::setApplicationHandler(ApplicationHandler handler)
{
    m_translator->setApplicationHandler(std::move(handler));
}

HungAppLedger& AtspiAccessibility::ledger()
{
    return m_calls->ledger();
}

long AtspiAccessibility::requestCount() const
{
    return m_calls->count();
}

long AtspiAccessibility::requestsThisEvent() const
{
    return m_cache->isOpen() ? m_calls->count() - m_cache->requestsBefore() : 0;
}

AccessibleElement AtspiAccessibility::createApplication(pid_t pid)
{
    const auto* record = m_directory->applicationForPid(pid, m_focus->activeBus());
    if (!record)
        return {};
    return AtspiElement::make(record->root.share(), AtspiElement::Kind::Application);
}

AccessibleElement AtspiAccessibility::createSystemWide()
{
    return AtspiElement::make({}, AtspiElement::Kind::SystemWide);
}

AccessibilityError AtspiAccessibility::copyAttributeNames(const AccessibleElement& element, std::vector<std::string>& names)
{
    auto* e = element.refAs<AtspiElement>();
    if (!e)
        return AccessibilityError::IllegalArgument;
    return m_attributes->names(*e, names);
}

AccessibilityError AtspiAccessibility::copyAttributeValue(const AccessibleElement& element, const std::string& attribute, AttributeValue& value)
{
    auto* e = element.refAs<AtspiElement>();
    value = {};
    if (!e)
        return AccessibilityError::IllegalArgument;
    return m_attributes->value(*e, attribute, value);
}

AccessibilityError AtspiAccessibility::copyElementAtPosition(const AccessibleElement& element, float x, float y, AccessibleElement& result)
{
    auto* e = element.refAs<AtspiElement>();
    result.reset();
    if (!e)
        return AccessibilityError::IllegalArgument;
    return m_hitTest->elementAt(*e, x, y, result);
}

AccessibilityError AtspiAccessibility::getPid(const AccessibleElement& element, pid_t& pid)
{
    auto* e = element.refAs<AtspiElement>();
    pid = 0;
    if (!e || e->kind() == AtspiElement::Kind::SystemWide)
        return AccessibilityError::IllegalArgument;
    pid = m_directory->pidForBus(e->busName(), e->accessible());
    return pid > 0 ? AccessibilityError::Success : AccessibilityError::InvalidUIElement;
}

AccessibilityError AtspiAccessibility::createObserver(pid_t pid, AccessibilityObserver::Callback callback, std::unique_ptr<AccessibilityObserver>& observer)
{
    observer.reset();
    if (!isAPIEnabled())
        return AccessibilityError::APIDisabled;
    AccessibleElement app = createApplication(pid);
    if (!app) {
        VELMORA_TRACE("observer for %d: not on the accessibility bus yet", static_cast<int>(pid));
        return AccessibilityError::CannotComplete;
    }
    if (m_calls->isHung(app.refAs<AtspiElement>()->busName())) {
        VELMORA_TRACE("observer for %d: application hung", static_cast<int>(pid));
        return AccessibilityError::CannotComplete;
    }
    observer = std::make_unique<AtspiObserver>(*m_observers, pid, std::move(app), std::move(callback));
    return AccessibilityError::Success;
}

} // namespace velmora::linux_desktop
