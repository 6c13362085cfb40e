#include "platform/linux/AtspiElement.h"

#include <functional>

namespace velmora::linux_desktop {

namespace {
size_t s_liveCount = 0;
}

AtspiElement::AtspiElement(GObjectRef<AtspiAccessible> accessible, Kind kind)
    : m_accessible(std::move(accessible))
    , m_kind(kind)
{
    if (m_kind != Kind::SystemWide && m_accessible) {
        m_busName = busNameOf(m_accessible.get());
        const char* path = ATSPI_OBJECT(m_accessible.get())->path;
        m_path = path ? path : "";
    }
    ++s_liveCount;
}

AtspiElement::~AtspiElement()
{
    --s_liveCount;
}

// static
AccessibleElement AtspiElement::make(GObjectRef<AtspiAccessible> accessible, Kind kind)
{
    if (!accessible && kind != Kind::SystemWide)
        return {};
    return AccessibleElement(std::make_shared<AtspiElement>(std::move(accessible), kind));
}

// static
std::string AtspiElement::busNameOf(AtspiAccessible* accessible)
{
    AtspiObject* object = accessible ? ATSPI_OBJECT(accessible) : nullptr;
    if (!object || !object->app || !object->app->bus_name)
        return {};
    return object->app->bus_name;
}

bool AtspiElement::isEqual(const AccessibleElementRef& other) const
{
    auto* o = dynamic_cast<const AtspiElement*>(&other);
    if (!o || o->m_kind == Kind::SystemWide || m_kind == Kind::SystemWide)
        return o && o->m_kind == m_kind;
    return o->m_busName == m_busName && o->m_path == m_path;
}

size_t AtspiElement::hash() const
{
    return std::hash<std::string>()(m_busName) ^ (std::hash<std::string>()(m_path) << 1);
}

// static
size_t AtspiElement::liveCount()
{
    return s_liveCount;
}

} // namespace velmora::linux_desktop
