#pragma once

#include "pane/IgnoredApplicationsController.h"
#include "pane/gtk/ApplicationPickerDialog.h"

#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/dialog.h>
#include <gtkmm/label.h>
#include <gtkmm/liststore.h>
#include <gtkmm/overlay.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeview.h>

#include <giomm/icon.h>

#include <memory>
#include <vector>

namespace velmora {

// The sheet over the settings window that edits the applications the agent
// leaves alone: the controller's rows (icon and name), add, remove, done.
class IgnoredApplicationsSheet final : public Gtk::Dialog {
public:
    // `controller` (not owned) outlives the sheet.
    IgnoredApplicationsSheet(Gtk::Window& parent, IgnoredApplicationsController& controller);

    // Shows the sheet; it stays loaded for later showings.
    void showSheet();

private:
    struct Columns : Gtk::TreeModel::ColumnRecord {
        Columns()
        {
            add(icon);
            add(name);
        }
        Gtk::TreeModelColumn<Glib::RefPtr<Gio::Icon>> icon;
        Gtk::TreeModelColumn<Glib::ustring> name;
    };

    void reloadRows();
    void on_selection_changed();
    void on_add_clicked();
    void on_remove_clicked();

    IgnoredApplicationsController& m_controller;
    Columns m_columns;
    Glib::RefPtr<Gtk::ListStore> m_rows;
    Gtk::Overlay m_tableArea;
    Gtk::ScrolledWindow m_scroller;
    Gtk::TreeView m_table;
    Gtk::Label m_placeholder; // over the table while it is empty
    Gtk::Label m_message;
    Gtk::Box m_buttons{Gtk::ORIENTATION_HORIZONTAL, 6};
    Gtk::Button m_add{_("Add…")};
    Gtk::Button m_remove{_("Remove")};
    std::unique_ptr<ApplicationPickerDialog> m_chooser; // while it is open
    bool m_reloading{false};
    std::vector<NotificationObservation> m_observations;
};

} // namespace velmora
