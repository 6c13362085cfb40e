#pragma once

#include "platform/AlertService.h"

#include <gtkmm/messagedialog.h>
#include <gtkmm/window.h>

namespace velmora {

// Alerts of the settings window as GTK message dialogs over it, so that
// they come up in this program's own accessibility tree. Each is raised over
// the active program, if another one is; that the program then loses the
// front again is GtkFocusLossNotifier's to tell.
class GtkAlertService final : public AlertService {
public:
    // `parent` (not owned) outlives the service.
    explicit GtkAlertService(Gtk::Window& parent) : m_parent(parent) { }

    std::optional<size_t> runModal(const Alert& alert) override;
    void abortModal() override;

private:
    Gtk::Window& m_parent;
    Gtk::MessageDialog* m_running{nullptr}; // while runModal runs
};

} // namespace velmora
