#pragma once

#include "pane/PulseAnimation.h"

#include <gtkmm/button.h>

namespace velmora {

// A button whose colours pulse while the pane is shown: drawn as usual into
// an image, whose pixels are then mapped by brightness onto the pulse's
// gradient.
class PulsingButton final : public Gtk::Button {
public:
    explicit PulsingButton(const Glib::ustring& label);

    bool pulsing() const { return m_animation.pulsing(); }

protected:
    bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;

private:
    PulseAnimation m_animation;
};

} // namespace velmora
