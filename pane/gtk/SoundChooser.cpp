#include "pane/gtk/SoundChooser.h"

#include "platform/Gettext.h"

#include <glibmm/main.h>
#include <gtkmm/cellrenderertext.h>

#include <algorithm>

namespace velmora {

SoundChooser::SoundChooser(Chosen chosen) : m_chosen(std::move(chosen)), m_rows(Gtk::ListStore::create(m_columns))
{
    m_label.set_xalign(0);
    m_label.set_ellipsize(Pango::ELLIPSIZE_END);
    add(m_label);
    set_popover(m_popover);

    m_list.set_model(m_rows);
    auto* column = Gtk::manage(new Gtk::TreeViewColumn(_("Sound")));
    auto* renderer = Gtk::manage(new Gtk::CellRendererText());
    column->pack_start(*renderer, true);
    column->add_attribute(renderer->property_text(), m_columns.text);
    // Headings read as headings: bold, and never chosen.
    column->set_cell_data_func(*renderer, [this, renderer](Gtk::CellRenderer*, const Gtk::TreeModel::iterator& row) {
        const bool heading = (*row)[m_columns.isHeading];
        renderer->property_weight() = heading ? Pango::WEIGHT_BOLD : Pango::WEIGHT_NORMAL;
        renderer->property_xpad() = heading ? 0 : 12;
    });
    m_list.append_column(*column);
    m_list.set_headers_visible(false);
    // Typing a name finds it, as in any list.
    m_list.set_search_column(m_columns.text);
    m_list.get_accessible()->set_name(_("Sounds"));
    m_list.get_selection()->set_select_function(
        [this](const Glib::RefPtr<Gtk::TreeModel>& model, const Gtk::TreeModel::Path& path, bool) {
            return !(*model->get_iter(path))[m_columns.isHeading];
        });
    m_list.get_selection()->signal_changed().connect(sigc::mem_fun(*this, &SoundChooser::on_selection_changed));
    m_scroller.add(m_list);
    m_scroller.set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);
    m_scroller.set_size_request(240, kListHeight);
    m_scroller.set_border_width(6);
    m_popover.add(m_scroller);
    // Scrolled once shown, when rows have their heights: the chosen sound
    // a third down, so that its heading shows above it where it can.
    m_popover.signal_show().connect([this] {
        Glib::signal_idle().connect_once([this] {
            if (auto chosen = m_list.get_selection()->get_selected())
                m_list.scroll_to_row(m_rows->get_path(chosen), 0.3);
        });
    });
    m_scroller.show_all();
}

void SoundChooser::setSounds(const std::vector<SoundList::Group>& groups, const std::string& chosen)
{
    m_filling = true;
    m_rows->clear();
    auto addSound = [this](const std::string& name) {
        auto row = *m_rows->append();
        row[m_columns.text] = SoundList::readableName(name);
        row[m_columns.soundName] = name;
        row[m_columns.isHeading] = false;
    };
    const bool listed = std::any_of(groups.begin(), groups.end(), [&](const SoundList::Group& group) {
        return std::find(group.names.begin(), group.names.end(), chosen) != group.names.end();
    });
    if (!listed && !chosen.empty())
        addSound(chosen);
    for (const auto& group : groups) {
        auto heading = *m_rows->append();
        heading[m_columns.text] = group.title;
        heading[m_columns.isHeading] = true;
        for (const auto& name : group.names)
            addSound(name);
    }
    for (const auto& row : m_rows->children()) {
        if (!row[m_columns.isHeading] && row.get_value(m_columns.soundName) == chosen) {
            m_list.get_selection()->select(row);
        }
    }
    // TRANSLATORS: no sound chosen.
    m_label.set_text(chosen.empty() ? std::string(C_("sound", "None")) : SoundList::readableName(chosen));
    m_filling = false;
}

void SoundChooser::on_selection_changed()
{
    if (m_filling)
        return;
    auto row = m_list.get_selection()->get_selected();
    if (!row)
        return;
    const std::string name = (*row)[m_columns.soundName];
    m_label.set_text(SoundList::readableName(name));
    if (m_chosen)
        m_chosen(name);
}

} // namespace velmora
