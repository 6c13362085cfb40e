#include "pane/gtk/PulsingButton.h"

namespace velmora {

PulsingButton::PulsingButton(const Glib::ustring& label) : Gtk::Button(label)
{
    m_animation.onFrame = [this] { queue_draw(); };
}

bool PulsingButton::on_draw(const Cairo::RefPtr<Cairo::Context>& cr)
{
    if (!m_animation.pulsing())
        return Gtk::Button::on_draw(cr);
    const int scale = get_scale_factor();
    const int width = get_allocated_width();
    const int height = get_allocated_height();
    if (width <= 0 || height <= 0)
        return true;
    auto image = Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, width * scale, height * scale);
    cairo_surface_set_device_scale(image->cobj(), scale, scale);
    {
        auto offscreen = Cairo::Context::create(image);
        Gtk::Button::on_draw(offscreen);
    }
    image->flush();
    m_animation.mapPixels(image->get_data(), image->get_width(), image->get_height(), image->get_stride());
    image->mark_dirty();
    cr->set_source(image, 0, 0);
    cr->paint();
    return true;
}

} // namespace velmora
