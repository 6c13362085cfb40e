#include "platform/linux/AtspiFocusLossWatch.h"

#include <memory>
#include <string_view>

namespace velmora::linux_desktop {

namespace {

constexpr const char* kActivate = "window:activate";
constexpr const char* kDeactivate = "window:deactivate";

} // namespace

AtspiFocusLossWatch::AtspiFocusLossWatch(pid_t pid, std::function<void()> onLost)
    : m_pid(pid)
    , m_onLost(std::move(onLost))
{
    if (!atspi_is_initialized())
        return;
    m_listener = GObjectRef<AtspiEventListener>::adopt(atspi_event_listener_new(&AtspiFocusLossWatch::onEvent, this, nullptr));
    atspi_event_listener_register(m_listener.get(), kActivate, nullptr);
    atspi_event_listener_register(m_listener.get(), kDeactivate, nullptr);
}

AtspiFocusLossWatch::~AtspiFocusLossWatch()
{
    if (!m_listener)
        return;
    atspi_event_listener_deregister(m_listener.get(), kActivate, nullptr);
    atspi_event_listener_deregister(m_listener.get(), kDeactivate, nullptr);
}

// static
void AtspiFocusLossWatch::onEvent(AtspiEvent* rawEvent, void* data)
{
    // The event is ours to free.
    std::unique_ptr<AtspiEvent, void (*)(AtspiEvent*)> event(rawEvent, [](AtspiEvent* e) { g_boxed_free(ATSPI_TYPE_EVENT, e); });
    auto* self = static_cast<AtspiFocusLossWatch*>(data);
    if (!event->source || !event->type)
        return;
    // A question to the bus daemon, not to the application: it cannot hang
    // on a frozen one, and libatspi's time-out bounds it.
    if (atspi_accessible_get_process_id(event->source, nullptr) != static_cast<guint>(self->m_pid))
        return;
    if (std::string_view(event->type) == kActivate) {
        // Its other window took the focus: nothing was lost.
        self->m_settle.stop();
    } else if (!self->m_settle.isActive()) {
        // Only a window that had the focus is deactivated, so this holds even
        // when its activation came before its toolkit knew anyone listened.
        // A window handing the focus to another of its process's announces
        // its deactivation first: the loss is judged after the events that
        // are in by then.
        self->m_settle = SourceGuard::idle(&AtspiFocusLossWatch::onSettled, self, "[velmora] focus loss settles");
    }
}

// static
gboolean AtspiFocusLossWatch::onSettled(gpointer data)
{
    auto* self = static_cast<AtspiFocusLossWatch*>(data);
    self->m_settle.stop();
    self->m_onLost();
    return G_SOURCE_REMOVE;
}

} // namespace velmora::linux_desktop
