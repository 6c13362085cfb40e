#include "platform/linux/AtspiFocusState.h"

#include "platform/linux/AtspiElement.h"

namespace velmora::linux_desktop {

bool AtspiFocusState::ownsActiveWindow(const std::string& bus) const
{
    return m_activeWindow && AtspiElement::busNameOf(m_activeWindow.get()) == bus;
}

void AtspiFocusState::windowActivated(GObjectRef<AtspiAccessible> window, const std::string& bus)
{
    m_activeWindow = std::move(window);
    m_activeBus = bus;
}

void AtspiFocusState::windowLeft(AtspiAccessible* window)
{
    if (m_activeWindow && m_activeWindow.get() == window)
        m_activeWindow.reset();
}

AtspiAccessible* AtspiFocusState::focusedIn(const std::string& bus) const
{
    auto it = m_focusedByBus.find(bus);
    return it != m_focusedByBus.end() ? it->second.get() : nullptr;
}

void AtspiFocusState::focusMoved(const std::string& bus, GObjectRef<AtspiAccessible> object)
{
    m_focusedByBus[bus] = std::move(object);
}

void AtspiFocusState::forget(const std::string& bus)
{
    m_focusedByBus.erase(bus);
    if (ownsActiveWindow(bus))
        m_activeWindow.reset();
    if (m_activeBus == bus)
        m_activeBus.clear();
}

} // namespace velmora::linux_desktop
