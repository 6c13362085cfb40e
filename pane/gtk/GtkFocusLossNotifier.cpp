#include "pane/gtk/GtkFocusLossNotifier.h"

#include "platform/ProcessManager.h"

#include <gtk/gtk.h>

namespace velmora {

namespace {

bool anyWindowActive()
{
    GList* windows = gtk_window_list_toplevels();
    bool active = false;
    for (GList* w = windows; w && !active; w = w->next)
        active = gtk_window_is_active(GTK_WINDOW(w->data));
    g_list_free(windows);
    return active;
}

} // namespace

GtkFocusLossNotifier::GtkFocusLossNotifier(NotificationCenter& center) : m_center(center)
{
    // One hook sees every window, the dialogs made later included. The
    // signals exist once the widget class does, which may be before any
    // widget.
    m_widgetClass = g_type_class_ref(GTK_TYPE_WIDGET);
    m_focusInSignal = g_signal_lookup("focus-in-event", GTK_TYPE_WIDGET);
    m_focusOutSignal = g_signal_lookup("focus-out-event", GTK_TYPE_WIDGET);
    m_focusInHook = g_signal_add_emission_hook(m_focusInSignal, 0, &GtkFocusLossNotifier::onFocusChange, this, nullptr);
    m_focusOutHook = g_signal_add_emission_hook(m_focusOutSignal, 0, &GtkFocusLossNotifier::onFocusChange, this, nullptr);
    m_active = anyWindowActive();
}

GtkFocusLossNotifier::~GtkFocusLossNotifier()
{
    g_signal_remove_emission_hook(m_focusInSignal, m_focusInHook);
    g_signal_remove_emission_hook(m_focusOutSignal, m_focusOutHook);
    if (m_settleSource)
        g_source_remove(m_settleSource);
    g_type_class_unref(m_widgetClass);
}

// static
gboolean GtkFocusLossNotifier::onFocusChange(GSignalInvocationHint* hint, guint count, const GValue* values, gpointer self)
{
    auto* notifier = static_cast<GtkFocusLossNotifier*>(self);
    // A window hands the focus on to its own widgets with the same signal.
    auto* target = count > 0 ? static_cast<GObject*>(g_value_get_object(&values[0])) : nullptr;
    if (!GTK_IS_WINDOW(target))
        return TRUE;
    // Had at once: a focus taken away again before things settle was had
    // all the same.
    if (hint->signal_id == notifier->m_focusInSignal)
        notifier->m_active = true;
    if (!notifier->m_settleSource) {
        // The hook runs before the window updates is-active.
        notifier->m_settleSource = g_timeout_add(kSettleMs, &GtkFocusLossNotifier::onSettled, notifier);
        g_source_set_name_by_id(notifier->m_settleSource, "[velmora] focus settles");
    }
    return TRUE; // stay hooked
}

// static
gboolean GtkFocusLossNotifier::onSettled(gpointer self)
{
    auto* notifier = static_cast<GtkFocusLossNotifier*>(self);
    notifier->m_settleSource = 0;
    notifier->settle();
    return G_SOURCE_REMOVE;
}

void GtkFocusLossNotifier::settle()
{
    const bool active = anyWindowActive();
    const bool lost = m_active && !active;
    m_active = active;
    if (lost)
        m_center.post(kWillResignActiveNotification, this);
}

} // namespace velmora
