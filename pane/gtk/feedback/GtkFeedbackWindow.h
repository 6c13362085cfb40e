#pragma once

#include "pane/feedback/FeedbackWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/Gettext.h"

#include <gtkmm.h>

#include <array>
#include <vector>

namespace velmora {

class FeedbackController;

// The feedback window in GTK 3: its controls follow the controller's
// observable properties and hand the user's changes back to it. The
// controller owns the window.
class GtkFeedbackWindow final : public Gtk::Window, public FeedbackWindow {
public:
    // `transientFor` (not owned; may be null) is the settings window.
    GtkFeedbackWindow(FeedbackController& controller, Gtk::Window* transientFor);
    ~GtkFeedbackWindow() override;

    // FeedbackWindow
    void showWindow() override;
    void orderOut() override;

private:
    void observe(const char* key, void (GtkFeedbackWindow::*update)());
    void updateSection();
    void updateMessage();
    void updateInsertionPoint();
    void updateContactInfo();
    void updateHardwareDetails();
    void updateName();
    void updateEmailAddress();
    void updateEmailChoices();
    void updateSendingState();
    void updateProgress();
    void updateTitle();

    void on_kind_toggled(int section);
    void on_message_changed();
    void on_contact_toggled();
    void on_hardware_toggled();
    void on_name_changed();
    void on_email_changed();
    void on_send_clicked();
    void on_cancel_clicked();
    bool on_delete_event(GdkEventAny* event) override;

    FeedbackController& m_controller; // not owned; it owns this window
    // Set while the window shows a change of the controller's, so that the
    // widgets' own signals do not hand it back as the user's.
    bool m_updating{false};

    Gtk::Box m_content{Gtk::ORIENTATION_VERTICAL, 8};
    Gtk::Box m_kinds{Gtk::ORIENTATION_HORIZONTAL, 0};
    Gtk::RadioButton::Group m_kindGroup;
    std::array<Gtk::RadioButton, 3> m_kindButtons;
    Gtk::ScrolledWindow m_messageScroller;
    Gtk::TextView m_message;
    Gtk::CheckButton m_includeContact{_("Include my name and e-mail address")};
    Gtk::Grid m_contactGrid;
    Gtk::Label m_nameLabel{_("Name:")};
    Gtk::Entry m_name;
    Gtk::Label m_emailLabel{_("E-mail:")};
    Gtk::ComboBoxText m_email{true};
    Gtk::CheckButton m_includeHardware{_("Include a summary of this computer's hardware and software")};
    Gtk::Box m_buttons{Gtk::ORIENTATION_HORIZONTAL, 8};
    Gtk::Spinner m_progress;
    Gtk::Button m_cancel{_("Cancel")};
    Gtk::Button m_send{_("Send")};

    std::vector<NotificationObservation> m_observations;
};

} // namespace velmora
