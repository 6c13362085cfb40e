#include "pane/gtk/PulsingButton.h"

namespace velmora {

PulsingButton::PulsingButton(NotificationCenter& notifications, RunLoop& runLoop, const Glib::ustring& label)
    : Gtk::Button(label)
    , m_animation(notifications, runLoop)
{
    // Called on every frame of the pulse, and once more when it stops.
    m_animation.onFrame = [this] {
        auto style = get_style_context();
        const bool suggested = style->has_class("suggested-action");
        if (m_animation.pulsing() && !suggested)
            style->add_class("suggested-action");
        else if (!m_animation.pulsing() && suggested)
            style->remove_class("suggested-action");
    };
}

} // namespace velmora
