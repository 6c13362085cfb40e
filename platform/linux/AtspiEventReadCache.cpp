#include "platform/linux/AtspiEventReadCache.h"

namespace velmora::linux_desktop {

void AtspiEventReadCache::open(long requestsSoFar)
{
    forget();
    m_open = true;
    m_requestsBefore = requestsSoFar;
}

void AtspiEventReadCache::close()
{
    forget();
    m_open = false;
    m_requestsBefore = 0;
}

void AtspiEventReadCache::forget()
{
    extents.m_entries.clear();
    states.m_entries.clear();
    children.m_entries.clear();
    windowOrigins.m_entries.clear();
    windowOfButton.m_entries.clear();
    frameOrigins.m_entries.clear();
}

} // namespace velmora::linux_desktop
