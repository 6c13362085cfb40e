#include "pane/gtk/VerticallyAlignedLabel.h"

#include <gdkmm/general.h>

#include <algorithm>

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

bool VerticallyAlignedLabel::on_draw(const Cairo::RefPtr<Cairo::Context>& cr)
{
    const double width = get_allocated_width();
    const double height = get_allocated_height();
    // The desktop's interface font, at our size.
    Pango::FontDescription font = get_pango_context()->get_font_description();
    font.set_size(kFontPoints * PANGO_SCALE);
    Glib::RefPtr<Pango::Layout> layout = create_pango_layout(get_text());
    layout->set_font_description(font);
    layout->set_ellipsize(Pango::ELLIPSIZE_END);
    layout->set_justify(true);
    int textWidth = 0;
    int textHeight = 0;
    layout->get_pixel_size(textWidth, textHeight);
    const double gap = (height - textHeight) * 0.5;
    layout->set_width(static_cast<int>(std::max(0.0, width - gap) * PANGO_SCALE));

    // The theme's text colour for the state, not a fixed black: that is
    // black, and white when selected, on the stock theme, and stays legible
    // on a dark one.
    cr->save();
    cr->rectangle(gap * 0.5, gap, width - gap, height - gap);
    cr->clip();
    Gdk::Cairo::set_source_rgba(cr, get_style_context()->get_color(get_state_flags()));
    cr->move_to(gap * 0.5, gap);
    layout->show_in_cairo_context(cr);
    cr->restore();
    return true;
}

} // namespace velmora
