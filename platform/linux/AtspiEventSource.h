#pragma once

#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

namespace velmora::linux_desktop {

class AtspiEventQueue;

// Listens, for as long as it lives, to the AT-SPI events the backend
// delivers and to the registry's word of applications joining and leaving,
// and puts them in the queue. Also listens to the events that keep
// libatspi's cache of names and states current, which it does not queue.
class AtspiEventSource {
public:
    // `accessibilityBus` must be set and atspi_init() must have succeeded.
    // `queue` is borrowed and outlives this object.
    AtspiEventSource(GObjectRef<GDBusConnection> accessibilityBus, AtspiEventQueue& queue);
    ~AtspiEventSource();
    AtspiEventSource(const AtspiEventSource&) = delete;
    AtspiEventSource& operator=(const AtspiEventSource&) = delete;

    // Whether events of `type` are queued (the others only feed libatspi's cache).
    static bool isQueued(const char* type);

private:
    static void onEvent(AtspiEvent* event, void* data);
    static void onRegistrySignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* member,
        GVariant* parameters, gpointer data);

    GObjectRef<GDBusConnection> m_bus;
    AtspiEventQueue& m_queue;
    GObjectRef<AtspiEventListener> m_listener;
    guint m_registrySubscription{0};
};

} // namespace velmora::linux_desktop
