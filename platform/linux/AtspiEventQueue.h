#pragma once

#include "platform/linux/GObjectRef.h"
#include "platform/linux/SourceGuard.h"

#include <atspi/atspi.h>

#include <deque>
#include <functional>
#include <string>

namespace velmora::linux_desktop {

// One event as it waits in the queue: what of an AtspiEvent the delivery
// needs, or the registry's word of an application joining or leaving.
struct AtspiQueuedEvent {
    std::string type;                   // an AT-SPI event type, or kRegistryAdd / kRegistryRemove
    GObjectRef<AtspiAccessible> source; // null for the registry's events
    int detail1{0};
    std::string bus;                    // the application's bus name

    static constexpr const char* kRegistryAdd = "registry:add";
    static constexpr const char* kRegistryRemove = "registry:remove";
};

// Events wait here as they arrive and are handed on, in arrival order, from
// an idle source of the thread-default main context: never from inside a
// request to an application (which may run a nested loop), and never one
// inside another. What arrives during a delivery waits its turn. Destroying
// the queue drops what is still waiting.
class AtspiEventQueue {
public:
    using Handler = std::function<void(const AtspiQueuedEvent& event)>;

    // `onEvent` is called for each event; `onDrained` once the queue is
    // empty after a run of deliveries.
    AtspiEventQueue(Handler onEvent, std::function<void()> onDrained);
    AtspiEventQueue(const AtspiEventQueue&) = delete;
    AtspiEventQueue& operator=(const AtspiEventQueue&) = delete;

    void enqueue(AtspiQueuedEvent event);
    // Whether a run of deliveries is under way.
    bool isDispatching() const { return m_dispatching; }
    size_t waiting() const { return m_queue.size(); }

private:
    static gboolean onDispatch(gpointer data);
    void dispatchQueued();

    Handler m_onEvent;
    std::function<void()> m_onDrained;
    std::deque<AtspiQueuedEvent> m_queue;
    SourceGuard m_dispatch;
    bool m_dispatching{false};
};

} // namespace velmora::linux_desktop
