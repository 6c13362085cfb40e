#include "pane/gtk/IgnoredApplicationsSheet.h"

#include "platform/Gettext.h"

#include <gtkmm/cellrendererpixbuf.h>

#include <giomm/themedicon.h>
#include <glib.h>
#include <glibmm/main.h>

namespace velmora {

namespace {

using Controller = IgnoredApplicationsController;

Glib::RefPtr<Gio::Icon> iconNamed(const std::string& name)
{
    // A theme's icon name or an image file's path.
    if (!name.empty()) {
        try {
            return Gio::Icon::create(name);
        } catch (const Glib::Error&) {
        }
    }
    return Gio::ThemedIcon::create("application-x-executable");
}

} // namespace

IgnoredApplicationsSheet::IgnoredApplicationsSheet(Gtk::Window& parent, IgnoredApplicationsController& controller)
    : Gtk::Dialog(_("Ignored Applications"), parent, true)
    , m_controller(controller)
    , m_rows(Gtk::ListStore::create(m_columns))
{
    set_default_size(420, 360);
    m_table.set_model(m_rows);
    // The table owns its icon column and renderer.
    auto* iconColumn = Gtk::manage(new Gtk::TreeViewColumn());
    auto* iconRenderer = Gtk::manage(new Gtk::CellRendererPixbuf());
    iconRenderer->property_stock_size() = Gtk::ICON_SIZE_LARGE_TOOLBAR;
    iconColumn->pack_start(*iconRenderer, false);
    iconColumn->add_attribute(iconRenderer->property_gicon(), m_columns.icon);
    m_table.append_column(*iconColumn);
    m_table.append_column(_("Application"), m_columns.name);
    m_table.set_headers_visible(false);
    m_table.get_accessible()->set_name(_("Ignored applications"));
    m_table.get_selection()->signal_changed().connect(sigc::mem_fun(*this, &IgnoredApplicationsSheet::on_selection_changed));
    m_scroller.add(m_table);
    m_scroller.set_vexpand(true);
    m_scroller.set_shadow_type(Gtk::SHADOW_IN);

    m_message.set_line_wrap(true);
    m_message.set_xalign(0);
    m_message.set_max_width_chars(50);
    m_message.get_accessible()->set_name(_("Why it stays"));

    m_add.signal_clicked().connect(sigc::mem_fun(*this, &IgnoredApplicationsSheet::on_add_clicked));
    m_remove.signal_clicked().connect(sigc::mem_fun(*this, &IgnoredApplicationsSheet::on_remove_clicked));
    m_buttons.pack_start(m_add, Gtk::PACK_SHRINK);
    m_buttons.pack_start(m_remove, Gtk::PACK_SHRINK);

    Gtk::Box* content = get_content_area();
    content->set_spacing(8);
    content->set_border_width(12);
    m_placeholder.set_text(_("No applications are ignored.\nChoose Add… to pick one."));
    m_placeholder.set_justify(Gtk::JUSTIFY_CENTER);
    m_placeholder.get_style_context()->add_class("dim-label");
    m_placeholder.set_no_show_all(true);
    m_tableArea.add(m_scroller);
    m_tableArea.add_overlay(m_placeholder);
    content->pack_start(m_tableArea, Gtk::PACK_EXPAND_WIDGET);
    content->pack_start(m_message, Gtk::PACK_SHRINK);
    content->pack_start(m_buttons, Gtk::PACK_SHRINK);
    add_button(_("Done"), Gtk::RESPONSE_CLOSE);
    signal_response().connect([this](int) { hide(); });
    show_all_children();

    m_observations.push_back(m_controller.addObserver("ignoredAppsNames", [this](const std::string&) { reloadRows(); }));
    m_observations.push_back(m_controller.addObserver("selectedAppMessage", [this](const std::string&) {
        m_message.set_text(m_controller.selectedAppMessage());
    }));
    m_observations.push_back(m_controller.addObserver("canRemoveSelectedRow", [this](const std::string&) {
        m_remove.set_sensitive(m_controller.canRemoveSelectedRow());
    }));
    m_remove.set_sensitive(false);
    reloadRows();
}

void IgnoredApplicationsSheet::showSheet()
{
    m_controller.updateUI();
    present();
}

void IgnoredApplicationsSheet::reloadRows()
{
    m_reloading = true;
    m_rows->clear();
    const int count = m_controller.numberOfRows();
    for (int row = 0; row < count; ++row) {
        auto item = *m_rows->append();
        const Value icon = m_controller.objectValueForTableColumn(Controller::kIcon, row);
        item[m_columns.icon] = iconNamed(icon.string() ? *icon.string() : "");
        item[m_columns.name] = m_controller.objectValueForTableColumn(Controller::kApplicationName, row).description();
    }
    m_placeholder.set_visible(count == 0);
    if (m_controller.selectedRow() != Controller::kNoSelection && m_controller.selectedRow() < count)
        m_table.get_selection()->select(Gtk::TreePath(std::to_string(m_controller.selectedRow())));
    m_reloading = false;
}

void IgnoredApplicationsSheet::on_selection_changed()
{
    if (m_reloading)
        return;
    auto selected = m_table.get_selection()->get_selected();
    m_controller.selectRow(selected ? m_rows->get_path(selected)[0] : Controller::kNoSelection);
}

// Not run as a nested loop: a click can come in over the accessibility bus,
// which serves nothing else until the click's handler returns.
void IgnoredApplicationsSheet::on_add_clicked()
{
    if (m_chooser) {
        m_chooser->present();
        return;
    }
    m_chooser = std::make_unique<ApplicationPickerDialog>(*this, _(Controller::kChooserTitle), _(Controller::kChooserPrompt),
        _(Controller::kChooserMessage), [this](const std::vector<std::string>& paths) { m_controller.addApplicationsAtPaths(paths); });
    m_chooser->signal_hide().connect([this] {
        // The dialog goes once its own signal has returned.
        Glib::signal_idle().connect_once([this] { m_chooser.reset(); });
    });
    m_chooser->show();
}

void IgnoredApplicationsSheet::on_remove_clicked()
{
    m_controller.removeApplication();
}

} // namespace velmora
