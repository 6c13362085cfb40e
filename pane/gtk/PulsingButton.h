#pragma once

#include "pane/PulseAnimation.h"

#include <gtkmm/button.h>

namespace velmora {

// A button that draws the eye while the pane is shown: it takes the theme's
// suggested-action look (its accent colour) while the pulse runs. A
// false-colour swing towards red read as an error, so the colours are the
// theme's own.
class PulsingButton final : public Gtk::Button {
public:
    // `notifications` and `runLoop` outlive the button (see PulseAnimation).
    PulsingButton(NotificationCenter& notifications, RunLoop& runLoop, const Glib::ustring& label);

    bool pulsing() const { return m_animation.pulsing(); }

private:
    PulseAnimation m_animation;
};

} // namespace velmora
