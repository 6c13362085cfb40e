#include "platform/linux/AtspiEventQueue.h"

namespace velmora::linux_desktop {

AtspiEventQueue::AtspiEventQueue(Handler onEvent, std::function<void()> onDrained)
    : m_onEvent(std::move(onEvent))
    , m_onDrained(std::move(onDrained))
{
}

void AtspiEventQueue::enqueue(AtspiQueuedEvent event)
{
    m_queue.push_back(std::move(event));
    if (!m_dispatch.isActive() && !m_dispatching)
        m_dispatch = SourceGuard::idle(&AtspiEventQueue::onDispatch, this, "[velmora] accessibility events");
}

// static
gboolean AtspiEventQueue::onDispatch(gpointer data)
{
    auto* self = static_cast<AtspiEventQueue*>(data);
    self->m_dispatch.stop();
    self->dispatchQueued();
    return G_SOURCE_REMOVE;
}

void AtspiEventQueue::dispatchQueued()
{
    m_dispatching = true;
    while (!m_queue.empty()) {
        AtspiQueuedEvent event = std::move(m_queue.front());
        m_queue.pop_front();
        m_onEvent(event);
    }
    m_dispatching = false;
    if (m_onDrained)
        m_onDrained();
}

} // namespace velmora::linux_desktop
