#pragma once

#include <gtkmm/label.h>

namespace velmora {

// A one-line text centred vertically in whatever height it is given, cut
// short at its end when it does not fit, as the pane's summaries need.
class VerticallyAlignedLabel final : public Gtk::Label {
public:
    VerticallyAlignedLabel();
};

} // namespace velmora
