#include "platform/sim/SimElementRef.h"

#include <functional>

namespace velmora::sim {

// static
AccessibleElement SimElementRef::systemWide()
{
    return AccessibleElement(std::make_shared<SimElementRef>(nullptr));
}

bool SimElementRef::isEqual(const AccessibleElementRef& other) const
{
    auto sim = dynamic_cast<const SimElementRef*>(&other);
    return sim && sim->m_node == m_node;
}

size_t SimElementRef::hash() const
{
    return std::hash<const SimNode*>{}(m_node.get());
}

} // namespace velmora::sim
