#pragma once

#include <giomm/icon.h>
#include <gtkmm/dialog.h>
#include <gtkmm/label.h>
#include <gtkmm/liststore.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/searchentry.h>
#include <gtkmm/treemodelfilter.h>
#include <gtkmm/treeview.h>

#include <functional>
#include <string>
#include <vector>

namespace velmora {

// Picks installed applications by name: the desktop's applications (as GIO
// lists them, those a menu would show) with their icons, narrowed by what is
// typed in the search field. Answers the chosen desktop entries' paths.
class ApplicationPickerDialog final : public Gtk::Dialog {
public:
    // Called once with the chosen entries' paths when the picker is
    // accepted; not called when it is cancelled.
    using Chosen = std::function<void(const std::vector<std::string>& desktopEntryPaths)>;

    ApplicationPickerDialog(Gtk::Window& parent, const std::string& title, const std::string& prompt, const std::string& message,
        Chosen chosen);

private:
    struct Columns : Gtk::TreeModel::ColumnRecord {
        Columns()
        {
            add(icon);
            add(name);
            add(searchText);
            add(path);
        }
        Gtk::TreeModelColumn<Glib::RefPtr<Gio::Icon>> icon;
        Gtk::TreeModelColumn<Glib::ustring> name;
        Gtk::TreeModelColumn<Glib::ustring> searchText; // name, description and file name, case-folded
        Gtk::TreeModelColumn<std::string> path;
    };

    void loadApplications();
    bool isShown(const Gtk::TreeModel::const_iterator& row) const;
    void on_search_changed();
    void on_response(int response);

    Chosen m_chosen;
    Columns m_columns;
    Glib::RefPtr<Gtk::ListStore> m_applications;
    Glib::RefPtr<Gtk::TreeModelFilter> m_shown;
    Glib::ustring m_query; // case-folded
    Gtk::Label m_message;
    Gtk::SearchEntry m_search;
    Gtk::ScrolledWindow m_scroller;
    Gtk::TreeView m_list;
};

} // namespace velmora
