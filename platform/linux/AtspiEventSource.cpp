#include "platform/linux/AtspiEventSource.h"

#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiEventQueue.h"
#include "platform/linux/GVariantPtr.h"

#include <algorithm>
#include <array>
#include <memory>

namespace velmora::linux_desktop {

namespace {

// GTK 4 announces a dialog taking the focus only by its active state.
constexpr std::array<const char*, 8> kEventTypes = {
    "window:activate", "window:deactivate", "window:create", "window:destroy",
    "window:minimize", "window:restore", "object:state-changed:focused", "object:state-changed:active",
};

// Events listened to only so that libatspi keeps its cache of names and
// states current (it answers those reads from the cache, and updates it from
// the events it receives): a button enabled after its dialog opened must not
// read as disabled.
constexpr std::array<const char*, 6> kCacheEventTypes = {
    "object:state-changed:sensitive", "object:state-changed:enabled", "object:state-changed:iconified",
    "object:state-changed:showing", "object:state-changed:defunct", "object:property-change:accessible-name",
};

} // namespace

AtspiEventSource::AtspiEventSource(GObjectRef<GDBusConnection> accessibilityBus, AtspiEventQueue& queue)
    : m_bus(std::move(accessibilityBus))
    , m_queue(queue)
{
    m_listener = GObjectRef<AtspiEventListener>::adopt(atspi_event_listener_new(&AtspiEventSource::onEvent, this, nullptr));
    for (const char* type : kEventTypes)
        atspi_event_listener_register(m_listener.get(), type, nullptr);
    for (const char* type : kCacheEventTypes)
        atspi_event_listener_register(m_listener.get(), type, nullptr);
    // The registry announces applications joining and leaving as children
    // of the desktop. Subscribing to its signal alone (not to every
    // application's children-changed) keeps the agent asleep while
    // applications rebuild their own trees.
    m_registrySubscription = g_dbus_connection_signal_subscribe(m_bus.get(), "org.a11y.atspi.Registry",
        "org.a11y.atspi.Event.Object", "ChildrenChanged", "/org/a11y/atspi/accessible/root", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        &AtspiEventSource::onRegistrySignal, this, nullptr);
}

AtspiEventSource::~AtspiEventSource()
{
    if (m_registrySubscription)
        g_dbus_connection_signal_unsubscribe(m_bus.get(), m_registrySubscription);
    for (const char* type : kEventTypes)
        atspi_event_listener_deregister(m_listener.get(), type, nullptr);
    for (const char* type : kCacheEventTypes)
        atspi_event_listener_deregister(m_listener.get(), type, nullptr);
}

// static
bool AtspiEventSource::isQueued(const char* type)
{
    return type && std::any_of(kEventTypes.begin(), kEventTypes.end(), [type](const char* t) { return g_strcmp0(t, type) == 0; });
}

// static
void AtspiEventSource::onEvent(AtspiEvent* rawEvent, void* data)
{
    // The event is ours to free; only what the delivery needs is kept.
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(rawEvent, [](AtspiEvent* e) { g_boxed_free(ATSPI_TYPE_EVENT, e); });
    auto* self = static_cast<AtspiEventSource*>(data);
    if (!event->source || !isQueued(event->type))
        return;
    self->m_queue.enqueue({event->type ? event->type : "", GObjectRef<AtspiAccessible>::retain(event->source), event->detail1,
        AtspiElement::busNameOf(event->source)});
}

// static
void AtspiEventSource::onRegistrySignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
    GVariant* parameters, gpointer data)
{
    auto* self = static_cast<AtspiEventSource*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(siiva{sv})")))
        return;
    const gchar* minor = nullptr;
    gint32 detail1 = 0, detail2 = 0;
    GVariant* anyOut = nullptr;
    GVariant* propertiesOut = nullptr;
    g_variant_get(parameters, "(&siiv@a{sv})", &minor, &detail1, &detail2, &anyOut, &propertiesOut);
    const GVariantPtr any(anyOut), properties(propertiesOut);
    std::string bus;
    if (any && g_variant_is_of_type(any.get(), G_VARIANT_TYPE("(so)"))) {
        const gchar* name = nullptr;
        const gchar* path = nullptr;
        g_variant_get(any.get(), "(&s&o)", &name, &path);
        bus = name ? name : "";
    }
    if (bus.empty() || !minor)
        return;
    self->m_queue.enqueue(
        {g_str_has_prefix(minor, "add") ? AtspiQueuedEvent::kRegistryAdd : AtspiQueuedEvent::kRegistryRemove, {}, 0, bus});
}

} // namespace velmora::linux_desktop
