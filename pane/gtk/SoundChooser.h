#pragma once

#include "pane/SoundList.h"

#include <gtkmm/label.h>
#include <gtkmm/liststore.h>
#include <gtkmm/menubutton.h>
#include <gtkmm/popover.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/treeview.h>

#include <functional>
#include <string>
#include <vector>

namespace velmora {

// The sound setting: a button naming the chosen sound that opens a list of
// the sounds by readable name, under a heading per group, in a popover of a
// few rows' height that scrolls, instead of a menu the height of the screen.
class SoundChooser final : public Gtk::MenuButton {
public:
    // Called with the sound's name as stored when a person picks one.
    using Chosen = std::function<void(const std::string& soundName)>;

    static constexpr int kListHeight = 200;

    explicit SoundChooser(Chosen chosen);

    // Lists `groups`; `chosen` shows as chosen, and is listed first when no
    // group has it (a name stored by hand that no sound has any more).
    void setSounds(const std::vector<SoundList::Group>& groups, const std::string& chosen);

private:
    struct Columns : Gtk::TreeModel::ColumnRecord {
        Columns()
        {
            add(text);
            add(soundName);
            add(isHeading);
        }
        Gtk::TreeModelColumn<Glib::ustring> text;
        Gtk::TreeModelColumn<std::string> soundName;
        Gtk::TreeModelColumn<bool> isHeading;
    };

    void on_selection_changed();

    Chosen m_chosen;
    Columns m_columns;
    Glib::RefPtr<Gtk::ListStore> m_rows;
    Gtk::Label m_label;
    Gtk::Popover m_popover;
    Gtk::ScrolledWindow m_scroller;
    Gtk::TreeView m_list;
    bool m_filling{false};
};

} // namespace velmora
