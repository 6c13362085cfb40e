#pragma once

#include "pane/PaneWindow.h"
#include "pane/SettingsPane.h"
#include "pane/feedback/FeedbackOpener.h"
#include "pane/gtk/GtkAlertService.h"
#include "pane/gtk/IgnoredApplicationsSheet.h"
#include "pane/gtk/PulsingButton.h"
#include "pane/gtk/SoundChooser.h"
#include "pane/gtk/VerticallyAlignedLabel.h"
#include "platform/Gettext.h"
#include "shared/update/UpdateChecker.h"

#include <giomm/filemonitor.h>
#include <gtkmm/box.h>
#include <gtkmm/button.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/entry.h>
#include <gtkmm/grid.h>
#include <gtkmm/label.h>
#include <gtkmm/messagedialog.h>
#include <gtkmm/scale.h>
#include <gtkmm/separator.h>
#include <gtkmm/switch.h>
#include <gtkmm/window.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// The settings window: the pane's controls, each bound by property name to
// the pane's controllers and refreshed when the property or one it derives
// from changes. The window holds no state of its own.
class SettingsWindow final : public Gtk::Window, public PaneWindow {
public:
    static constexpr const char* kTitle = "Velmora";
    static constexpr const char* kTestAlertTitle = N_("This is a test");
    static constexpr const char* kTestAlertMessage = N_("If this were an actual dialog, you would have to make a choice now.");

    // `pane` (not owned) outlives the window.
    explicit SettingsWindow(SettingsPane& pane);
    ~SettingsWindow() override;

    // PaneWindow.
    void activateAndOrderFront() override;

protected:
    void on_show() override;
    bool on_key_press_event(GdkEventKey* event) override;
    void on_hide() override;

private:
    AgentController& controller() { return m_pane.agentController(); }

    // Calls `refresh` now and after every change of one of `keys`.
    void bind(ObservableProperties& object, const std::vector<std::string>& keys, std::function<void()> refresh);
    void bindSettingSwitch(Gtk::Switch& control, const char* property);
    Gtk::Label& addLabel(const std::string& text, int row);
    void refreshSoundNames();
    // Follows what changes outside the window while it is shown: the
    // settings file and the accessibility switch. The agent's bus name is
    // followed by the controller itself.
    void followOutsideChanges();
    void stopFollowingOutsideChanges();
    void on_settings_file_changed(const Glib::RefPtr<Gio::File>& file, const Glib::RefPtr<Gio::File>& other,
        Gio::FileMonitorEvent event);

    void on_run_switch_changed();
    void on_sound_chosen(const std::string& name);
    void on_volume_changed();
    void on_accessibility_clicked();
    void on_ignored_clicked();
    void on_test_clicked();
    void on_updates_clicked();
    void on_help_clicked();
    void on_website_clicked();
    void on_feedback_clicked();
    void on_feedback_link_icon_pressed(Gtk::EntryIconPosition position, const GdkEventButton* event);
    // An answer-less message over the window, shown without a nested loop.
    void showNotice(const std::string& title, const std::string& message);
    // Shows the dialog in `slot` (a member) and lets it go once answered:
    // a click can come in over the accessibility bus, which serves nothing
    // else until the click's handler returns, so no dialog runs its own loop.
    void showWithoutNestedLoop(std::unique_ptr<Gtk::MessageDialog>& slot);

    SettingsPane& m_pane;
    GtkAlertService m_alerts{*this};
    std::unique_ptr<UpdateChecker> m_checker;
    std::unique_ptr<IgnoredApplicationsSheet> m_ignoredSheet;
    // Made at the first click; the feedback window is transient for this one.
    std::unique_ptr<FeedbackOpener> m_feedback;
    std::unique_ptr<Gtk::MessageDialog> m_testAlert;
    std::unique_ptr<Gtk::MessageDialog> m_notice;
    // Set while controls are brought in line with the controllers, so that
    // their change signals are not taken for the user's.
    int m_refreshing{0};
    Glib::RefPtr<Gio::FileMonitor> m_settingsMonitor;
    // A write is several events (the temporary file renamed over the old
    // one); they are taken together once the burst settles.
    sigc::connection m_settingsReread;
    sigc::connection m_accessibilityPoll;

    Gtk::Box m_layout{Gtk::ORIENTATION_VERTICAL, 12};
    Gtk::Box m_runRow{Gtk::ORIENTATION_HORIZONTAL, 12}; // the switch and what it reports
    Gtk::Switch m_runSwitch;
    Gtk::Label m_runLabel{_("Run Velmora")};
    Gtk::Label m_status;
    Gtk::Label m_moveRefused; // why the agent cannot snap on this desktop, where it cannot
    Gtk::Label m_accessibilityInstructions;
    Gtk::Button m_accessibilityButton{_("Open Accessibility Settings")};
    Gtk::Grid m_settings;
    Gtk::Switch m_alternateSwitch;
    Gtk::Switch m_snapBackSwitch;
    Gtk::Label m_snapBackUnavailable; // why the switch is greyed, where it is
    Gtk::Switch m_soundSwitch;
    SoundChooser m_soundChooser{[this](const std::string& name) { on_sound_chosen(name); }};
    Gtk::Scale m_volume{Gtk::ORIENTATION_HORIZONTAL};
    Gtk::Switch m_dailyUpdatesSwitch;
    Gtk::Box m_ignoredRow{Gtk::ORIENTATION_HORIZONTAL, 12};
    VerticallyAlignedLabel m_ignoredSummary;
    Gtk::Button m_ignoredButton{_("Ignored Applications…")};
    Gtk::Separator m_separator;
    Gtk::Box m_actions{Gtk::ORIENTATION_HORIZONTAL, 6};
    PulsingButton m_testButton;
    Gtk::Button m_updatesButton{_("Check for Updates")};
    Gtk::Button m_helpButton{_("Help")};
    Gtk::Button m_websiteButton{_("Web Site")};
    Gtk::Button m_feedbackButton{_("Send Feedback…")};
    // Shows the feedback mail link as its placeholder; its icon writes a mail.
    Gtk::Entry m_feedbackLink;
    Gtk::Label m_version;
    std::vector<std::unique_ptr<Gtk::Label>> m_labels;
    std::vector<NotificationObservation> m_observations;
};

} // namespace velmora
