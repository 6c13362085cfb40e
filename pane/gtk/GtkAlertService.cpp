#include "pane/gtk/GtkAlertService.h"

namespace velmora {

std::optional<size_t> GtkAlertService::runModal(const Alert& alert)
{
    if (m_running)
        return std::nullopt;
    Gtk::MessageDialog dialog(m_parent, alert.title, false,
        alert.style == AlertStyle::Critical ? Gtk::MESSAGE_WARNING : Gtk::MESSAGE_INFO, Gtk::BUTTONS_NONE, true);
    dialog.set_title(alert.title);
    dialog.set_secondary_text(alert.message);
    // The default button goes last, where GTK puts the affirmative one.
    for (size_t i = alert.buttons.size(); i-- > 0;)
        dialog.add_button(alert.buttons[i], static_cast<int>(i));
    dialog.set_default_response(0);
    m_running = &dialog;
    const int response = dialog.run();
    m_running = nullptr;
    if (response < 0 || static_cast<size_t>(response) >= alert.buttons.size())
        return std::nullopt;
    return static_cast<size_t>(response);
}

void GtkAlertService::abortModal()
{
    if (m_running)
        m_running->response(Gtk::RESPONSE_DELETE_EVENT);
}

} // namespace velmora
