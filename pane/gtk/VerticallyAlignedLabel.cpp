#include "pane/gtk/VerticallyAlignedLabel.h"

namespace velmora {

VerticallyAlignedLabel::VerticallyAlignedLabel()
{
    set_valign(Gtk::ALIGN_FILL);
    set_yalign(0.5f);
    set_xalign(0.0f);
    set_justify(Gtk::JUSTIFY_FILL);
    set_ellipsize(Pango::ELLIPSIZE_END);
    set_single_line_mode(true);
    set_hexpand(true);
}

} // namespace velmora
