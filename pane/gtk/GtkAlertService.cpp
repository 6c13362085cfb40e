#include "pane/gtk/GtkAlertService.h"

#include <gdk/gdk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace velmora {

namespace {

// Raises the alert over whatever program is active. A window manager lets a
// window take the focus only with a time later than the user's last input
// elsewhere; GTK would give the time of our own last input, which may be
// long past, so the X server's present time is given instead. Wayland has no
// such time: there the compositor alone decides.
void bringToFront(Gtk::Window& window)
{
#ifdef GDK_WINDOWING_X11
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window.gobj()));
    if (surface && GDK_IS_X11_WINDOW(surface)) {
        gtk_window_present_with_time(window.gobj(), gdk_x11_get_server_time(surface));
        return;
    }
#endif
    window.present();
}

} // namespace

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
    dialog.show();
    bringToFront(dialog);
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
