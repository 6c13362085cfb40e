#pragma once

#include <gtkmm/label.h>

namespace velmora {

// A one-line text centred vertically in whatever height it is given, cut
// short at its end when it does not fit, as the pane's summaries need. The
// text keeps one size whatever the theme's, and is inset from the sides by
// half its gap above, so a taller row also moves it in from the left.
class VerticallyAlignedLabel final : public Gtk::Label {
public:
    static constexpr int kFontPoints = 13;

    VerticallyAlignedLabel();

protected:
    bool on_draw(const Cairo::RefPtr<Cairo::Context>& cr) override;
};

} // namespace velmora
