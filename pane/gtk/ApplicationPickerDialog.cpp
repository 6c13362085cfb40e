#include "pane/gtk/ApplicationPickerDialog.h"

#include "platform/Gettext.h"

#include <giomm/appinfo.h>
#include <giomm/themedicon.h>
#include <gio/gdesktopappinfo.h>
#include <gtkmm/cellrendererpixbuf.h>

#include <algorithm>

namespace velmora {

ApplicationPickerDialog::ApplicationPickerDialog(Gtk::Window& parent, const std::string& title, const std::string& prompt,
    const std::string& message, Chosen chosen)
    : Gtk::Dialog(title, parent, true)
    , m_chosen(std::move(chosen))
    , m_applications(Gtk::ListStore::create(m_columns))
{
    set_default_size(440, 480);
    m_message.set_text(message);
    m_message.set_line_wrap(true);
    m_message.set_max_width_chars(50);
    m_message.set_xalign(0);
    m_search.set_placeholder_text(_("Search applications"));
    m_search.get_accessible()->set_name(_("Search applications"));
    // At each keystroke: the list is short enough, and the selection must
    // follow what is typed before the prompt is pressed.
    m_search.signal_changed().connect(sigc::mem_fun(*this, &ApplicationPickerDialog::on_search_changed));
    // Enter in the search field takes what is selected, as a click on the prompt would.
    m_search.set_activates_default(true);

    loadApplications();
    m_shown = Gtk::TreeModelFilter::create(m_applications);
    m_shown->set_visible_func(sigc::mem_fun(*this, &ApplicationPickerDialog::isShown));
    m_list.set_model(m_shown);
    auto* iconColumn = Gtk::manage(new Gtk::TreeViewColumn());
    auto* iconRenderer = Gtk::manage(new Gtk::CellRendererPixbuf());
    iconRenderer->property_stock_size() = Gtk::ICON_SIZE_DND;
    iconColumn->pack_start(*iconRenderer, false);
    iconColumn->add_attribute(iconRenderer->property_gicon(), m_columns.icon);
    m_list.append_column(*iconColumn);
    m_list.append_column(_("Application"), m_columns.name);
    m_list.set_headers_visible(false);
    m_list.set_enable_search(false); // the search field above does it
    m_list.get_selection()->set_mode(Gtk::SELECTION_MULTIPLE);
    m_list.get_accessible()->set_name(_("Applications"));
    m_list.signal_row_activated().connect([this](const Gtk::TreeModel::Path&, Gtk::TreeViewColumn*) { response(Gtk::RESPONSE_ACCEPT); });
    m_scroller.add(m_list);
    m_scroller.set_vexpand(true);
    m_scroller.set_shadow_type(Gtk::SHADOW_IN);
    m_scroller.set_policy(Gtk::POLICY_NEVER, Gtk::POLICY_AUTOMATIC);

    Gtk::Box* content = get_content_area();
    content->set_spacing(8);
    content->set_border_width(12);
    content->pack_start(m_message, Gtk::PACK_SHRINK);
    content->pack_start(m_search, Gtk::PACK_SHRINK);
    content->pack_start(m_scroller, Gtk::PACK_EXPAND_WIDGET);
    add_button(_("Cancel"), Gtk::RESPONSE_CANCEL);
    add_button(prompt, Gtk::RESPONSE_ACCEPT);
    set_default_response(Gtk::RESPONSE_ACCEPT);
    signal_response().connect(sigc::mem_fun(*this, &ApplicationPickerDialog::on_response));
    show_all_children();
    m_search.grab_focus();
}

void ApplicationPickerDialog::loadApplications()
{
    std::vector<Glib::RefPtr<Gio::AppInfo>> applications;
    for (const auto& info : Gio::AppInfo::get_all()) {
        // Only desktop entries can be stored as ignored; hidden ones are not the user's to pick.
        auto* desktop = G_IS_DESKTOP_APP_INFO(info->gobj()) ? G_DESKTOP_APP_INFO(info->gobj()) : nullptr;
        if (desktop && info->should_show() && g_desktop_app_info_get_filename(desktop))
            applications.push_back(info);
    }
    std::sort(applications.begin(), applications.end(),
        [](const auto& a, const auto& b) {
            return Glib::ustring(a->get_display_name()).casefold() < Glib::ustring(b->get_display_name()).casefold();
        });
    for (const auto& info : applications) {
        const std::string path = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info->gobj()));
        auto row = *m_applications->append();
        Glib::RefPtr<Gio::Icon> icon = info->get_icon();
        row[m_columns.icon] = icon ? icon : Glib::RefPtr<Gio::Icon>(Gio::ThemedIcon::create("application-x-executable"));
        row[m_columns.name] = info->get_display_name();
        row[m_columns.searchText] = Glib::ustring(info->get_display_name() + "\n" + info->get_description() + "\n" + info->get_id()).casefold();
        row[m_columns.path] = path;
    }
}

bool ApplicationPickerDialog::isShown(const Gtk::TreeModel::const_iterator& row) const
{
    if (m_query.empty())
        return true;
    const Glib::ustring text = (*row)[m_columns.searchText];
    return text.find(m_query) != Glib::ustring::npos;
}

void ApplicationPickerDialog::on_search_changed()
{
    m_query = m_search.get_text().casefold();
    m_shown->refilter();
    // The best match is ready to take with Enter.
    m_list.get_selection()->unselect_all();
    if (auto first = m_shown->children().begin())
        m_list.get_selection()->select(first);
}

void ApplicationPickerDialog::on_response(int response)
{
    hide();
    if (response != Gtk::RESPONSE_ACCEPT || !m_chosen)
        return;
    std::vector<std::string> paths;
    for (const auto& path : m_list.get_selection()->get_selected_rows()) {
        if (auto row = m_shown->get_iter(path))
            paths.push_back((*row)[m_columns.path]);
    }
    if (!paths.empty())
        m_chosen(paths);
}

} // namespace velmora
