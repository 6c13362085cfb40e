#include "pane/gtk/SettingsWindow.h"

#include "pane/gtk/feedback/GtkFeedbackWindow.h"

#include "platform/Platform.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "shared/preferences/VelmoraPreferences.h"
#include "shared/update/ProgramInfo.h"

#include <giomm/file.h>

#include <glibmm/main.h>

#include <algorithm>

namespace velmora {

namespace {

// The accessibility switch has no change signal every desktop sends, so it
// is asked this often while the window shows; the answer is a local bus
// call of a millisecond or two.
constexpr unsigned kAccessibilityPollMs = 500;
// A burst of file events ends well within this.
constexpr unsigned kSettingsSettleMs = 100;

// Brings a control in line with the controllers without its change signal
// being taken for the user's.
class Refreshing {
public:
    explicit Refreshing(int& depth) : m_depth(depth) { ++m_depth; }
    ~Refreshing() { --m_depth; }
    Refreshing(const Refreshing&) = delete;
    Refreshing& operator=(const Refreshing&) = delete;

private:
    int& m_depth;
};

void name(Gtk::Widget& widget, const std::string& accessibleName)
{
    widget.get_accessible()->set_name(accessibleName);
}

} // namespace

SettingsWindow::SettingsWindow(SettingsPane& pane)
    : m_pane(pane)
    , m_testButton(pane.platform().localNotificationCenter(), pane.platform().runLoop(), _("Test Dialog"))
{
    set_title(kTitle);
    set_border_width(18);
    set_resizable(false);
    set_icon_name("velmora");

    // The run switch and what it reports.
    name(m_runSwitch, _("Run Velmora"));
    m_runLabel.set_mnemonic_widget(m_runSwitch);
    m_status.set_xalign(0);
    m_runLabel.set_xalign(0);
    m_runRow.pack_start(m_runSwitch, Gtk::PACK_SHRINK);
    m_runRow.pack_start(m_status, Gtk::PACK_EXPAND_WIDGET);
    m_runSwitch.property_active().signal_changed().connect(sigc::mem_fun(*this, &SettingsWindow::on_run_switch_changed));

    m_moveRefused.set_no_show_all(true); // shown only with a reason
    m_moveRefused.set_line_wrap(true);
    m_moveRefused.set_max_width_chars(60);
    m_moveRefused.set_xalign(0);
    m_moveRefused.set_selectable(true);

    // One short sentence in the labels' column, its button in the switches'
    // column: the window grows by a row rather than a paragraph, and no column
    // widens. The whole advice is in the tooltip.
    m_accessibilityInstructions.set_line_wrap(true);
    m_accessibilityInstructions.set_max_width_chars(28);
    m_accessibilityInstructions.set_xalign(0);
    m_accessibilityInstructions.set_no_show_all(true);
    m_accessibilityButton.set_no_show_all(true);
    m_accessibilityButton.set_halign(Gtk::ALIGN_START);
    m_accessibilityButton.set_valign(Gtk::ALIGN_CENTER);
    m_accessibilityButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_accessibility_clicked));

    // The settings, one a row.
    m_settings.set_row_spacing(8);
    m_settings.set_column_spacing(12);
    // The run switch heads the settings, its switch in line with theirs;
    // why it cannot run goes right under it, across both columns.
    m_settings.attach(m_runLabel, 0, 0);
    m_settings.attach(m_runRow, 1, 0);
    m_settings.attach(m_moveRefused, 0, 1, 2, 1);
    m_settings.attach(m_accessibilityInstructions, 0, 2);
    m_settings.attach(m_accessibilityButton, 1, 2);
    int row = 3;
    for (auto [control, text] : {std::pair<Gtk::Switch*, const char*>{&m_alternateSwitch, _("Snap to the Cancel button instead")},
                                 {&m_snapBackSwitch, _("Snap back after the dialog closes")},
                                 {&m_soundSwitch, _("Play a sound on each snap")}}) {
        addLabel(text, row).set_mnemonic_widget(*control);
        name(*control, text);
        control->set_halign(Gtk::ALIGN_START);
        m_settings.attach(*control, 1, row++);
        // Why snap-back is greyed goes right under its switch.
        if (control == &m_snapBackSwitch)
            m_settings.attach(m_snapBackUnavailable, 1, row++);
    }
    m_snapBackUnavailable.set_no_show_all(true); // shown only with a reason
    m_snapBackUnavailable.set_line_wrap(true);
    m_snapBackUnavailable.set_max_width_chars(48);
    m_snapBackUnavailable.set_xalign(0);
    m_snapBackUnavailable.get_style_context()->add_class("dim-label");
    addLabel(_("Sound"), row).set_mnemonic_widget(m_soundChooser);
    name(m_soundChooser, _("Sound"));
    m_settings.attach(m_soundChooser, 1, row++);
    addLabel(_("Volume"), row).set_mnemonic_widget(m_volume);
    name(m_volume, _("Volume"));
    m_volume.set_range(0.0, 1.0);
    m_volume.set_increments(0.05, 0.1);
    m_volume.set_draw_value(false);
    m_volume.set_size_request(200, -1);
    m_settings.attach(m_volume, 1, row++);
    m_volume.signal_value_changed().connect(sigc::mem_fun(*this, &SettingsWindow::on_volume_changed));
    addLabel(_("Check for updates daily"), row).set_mnemonic_widget(m_dailyUpdatesSwitch);
    name(m_dailyUpdatesSwitch, _("Check for updates daily"));
    m_dailyUpdatesSwitch.set_halign(Gtk::ALIGN_START);
    m_settings.attach(m_dailyUpdatesSwitch, 1, row++);

    m_ignoredSummary.set_size_request(260, 32);
    m_ignoredRow.pack_start(m_ignoredSummary, Gtk::PACK_EXPAND_WIDGET);
    m_ignoredRow.pack_start(m_ignoredButton, Gtk::PACK_SHRINK);
    m_ignoredButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_ignored_clicked));

    for (auto* button : {&m_updatesButton, &m_helpButton, &m_websiteButton, &m_feedbackButton})
        m_actions.pack_start(*button, Gtk::PACK_SHRINK);
    m_actions.pack_start(m_testButton, Gtk::PACK_SHRINK);
    m_testButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_test_clicked));
    m_updatesButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_updates_clicked));
    m_helpButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_help_clicked));
    m_websiteButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_website_clicked));
    m_feedbackButton.signal_clicked().connect(sigc::mem_fun(*this, &SettingsWindow::on_feedback_clicked));
    // Never typed in: it is there to show its placeholder.
    m_feedbackLink.set_editable(false);
    m_feedbackLink.set_can_focus(false);
    m_feedbackLink.set_width_chars(60);
    m_feedbackLink.set_icon_from_icon_name("mail-send-symbolic", Gtk::ENTRY_ICON_SECONDARY);
    m_feedbackLink.set_icon_tooltip_text(_("Write to the vendor"), Gtk::ENTRY_ICON_SECONDARY);
    name(m_feedbackLink, _("Feedback e-mail"));
    m_feedbackLink.signal_icon_press().connect(sigc::mem_fun(*this, &SettingsWindow::on_feedback_link_icon_pressed));
    m_version.set_xalign(1);

    m_layout.pack_start(m_settings, Gtk::PACK_SHRINK);
    m_layout.pack_start(m_ignoredRow, Gtk::PACK_SHRINK);
    m_layout.pack_start(m_separator, Gtk::PACK_SHRINK);
    m_layout.pack_start(m_actions, Gtk::PACK_SHRINK);
    m_layout.pack_start(m_feedbackLink, Gtk::PACK_SHRINK);
    m_layout.pack_start(m_version, Gtk::PACK_SHRINK);
    add(m_layout);
    show_all_children();

    // Bindings, by property name.
    AgentController& c = controller();
    bind(c, {"shouldRun", "canRun"}, [this] {
        m_runSwitch.set_active(controller().shouldRun());
        m_runSwitch.set_sensitive(controller().canRun());
    });
    bind(c, {"runStateDescription"}, [this] { m_status.set_text(controller().runStateDescription()); });
    bind(c, {"accessibilityAPIIsRunning"}, [this] {
        const bool off = !controller().accessibilityAPIIsRunning();
        m_accessibilityInstructions.set_text(off ? _("Support for assistive technologies is off: Velmora cannot see dialogs.") : "");
        m_accessibilityInstructions.set_tooltip_text(off ? controller().accessibilityInstructions() : "");
        m_accessibilityInstructions.set_visible(off);
        m_accessibilityButton.set_visible(off);
    });
    bind(c, {"failedPreferenceWrites"}, [this] {
        if (controller().failedPreferenceWrites() > 0)
            showNotice(_("Velmora could not save the change"),
                _("Its settings file (in ~/.config/velmora) could not be written: is the disk full or the folder read-only?"));
    });
    bind(c, {"agentLaunchFailure"}, [this] {
        if (!controller().agentLaunchFailure().empty())
            showNotice(_("Velmora could not start its agent"), controller().agentLaunchFailure());
    });
    bindSettingSwitch(m_alternateSwitch, "snapsToAlternateButton");
    bindSettingSwitch(m_snapBackSwitch, "snapsBackAfterDismiss");
    bindSettingSwitch(m_soundSwitch, "playsSoundOnMove");
    bindSettingSwitch(m_dailyUpdatesSwitch, "shouldCheckForUpdatesDaily");
    bind(c, {"feedbackSoundName"}, [this] { refreshSoundNames(); });
    bind(c, {"feedbackSoundVolume"}, [this] { m_volume.set_value(controller().feedbackSoundVolume()); });
    bind(c, {"canChangeSettings", "playsSoundOnMove"}, [this] {
        const bool enabled = controller().canChangeSettings();
        for (Gtk::Widget* control : std::initializer_list<Gtk::Widget*>{&m_alternateSwitch, &m_snapBackSwitch, &m_soundSwitch,
                                                                       &m_dailyUpdatesSwitch, &m_ignoredButton})
            control->set_sensitive(enabled);
        const std::string moveRefused = controller().pointerMoveRefusalReason();
        m_moveRefused.set_text(moveRefused);
        m_moveRefused.set_visible(!moveRefused.empty());
        const std::string snapBackUnavailable = controller().snapBackUnavailableReason();
        m_snapBackUnavailable.set_text(snapBackUnavailable);
        m_snapBackUnavailable.set_visible(!snapBackUnavailable.empty());
        if (!snapBackUnavailable.empty()) {
            m_snapBackSwitch.set_sensitive(false);
            m_snapBackSwitch.get_accessible()->set_description(snapBackUnavailable);
        }
        m_soundChooser.set_sensitive(enabled && controller().playsSoundOnMove());
        m_volume.set_sensitive(enabled && controller().playsSoundOnMove());
    });
    // Each showing announces the version anew, so each sets the link anew.
    bind(c, {"currentVersionString"}, [this] { m_feedbackLink.set_placeholder_text(controller().feedbackMailLink()); });
    bind(c, {"bundleNameWithVersionString"}, [this] { m_version.set_text(controller().bundleNameWithVersionString()); });
    bind(m_pane.ignoredApplicationsController(), {"ignoredAppsNames"},
        [this] {
            // Labelled, so that a list of one reads as what it is.
            auto& ignored = m_pane.ignoredApplicationsController();
            // TRANSLATORS: the summary line under the ignored applications' button; %s is "none" or their names.
            m_ignoredSummary.set_text(i18n::format(_("Ignored: %s"),
                ignored.numberOfRows() == 0 ? C_("ignored applications", "none") : ignored.ignoredAppsNames().c_str()));
        });

    m_pane.setWindow(this);
}

SettingsWindow::~SettingsWindow()
{
    stopFollowingOutsideChanges();
    m_pane.setWindow(nullptr);
}

void SettingsWindow::activateAndOrderFront()
{
    present();
}

void SettingsWindow::on_show()
{
    Gtk::Window::on_show();
    m_pane.didSelect();
    followOutsideChanges();
}

bool SettingsWindow::on_key_press_event(GdkEventKey* event)
{
    // The keys that close a utility's window on every desktop.
    const auto modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    const bool control = modifiers == GDK_CONTROL_MASK;
    if ((control && (event->keyval == GDK_KEY_w || event->keyval == GDK_KEY_q)) || (!modifiers && event->keyval == GDK_KEY_Escape)) {
        close();
        return true;
    }
    return Gtk::Window::on_key_press_event(event);
}

void SettingsWindow::on_hide()
{
    stopFollowingOutsideChanges();
    m_pane.didUnselect();
    Gtk::Window::on_hide();
}

void SettingsWindow::followOutsideChanges()
{
    stopFollowingOutsideChanges();
    // The file itself, not its folder: a rename over it is reported too.
    const std::string path = PlistSettingsFile().pathForDomain(VelmoraPreferences::kDomain);
    try {
        m_settingsMonitor = Gio::File::create_for_path(path)->monitor_file();
        m_settingsMonitor->signal_changed().connect(sigc::mem_fun(*this, &SettingsWindow::on_settings_file_changed));
    } catch (const Glib::Error& error) {
        m_pane.platform().systemLog().log("the settings window will not follow changes to " + path + ": " + error.what());
    }
    m_accessibilityPoll = Glib::signal_timeout().connect([this] {
        controller().followAccessibilityStatus();
        return true;
    }, kAccessibilityPollMs);
}

void SettingsWindow::stopFollowingOutsideChanges()
{
    if (m_settingsMonitor)
        m_settingsMonitor->cancel();
    m_settingsMonitor.reset();
    m_settingsReread.disconnect();
    m_accessibilityPoll.disconnect();
}

void SettingsWindow::on_settings_file_changed(const Glib::RefPtr<Gio::File>&, const Glib::RefPtr<Gio::File>&, Gio::FileMonitorEvent event)
{
    if (event == Gio::FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED || m_settingsReread.connected())
        return;
    m_settingsReread = Glib::signal_timeout().connect([this] {
        controller().settingsChangedElsewhere();
        m_pane.ignoredApplicationsController().updateUI();
        return false;
    }, kSettingsSettleMs);
}

void SettingsWindow::bind(ObservableProperties& object, const std::vector<std::string>& keys, std::function<void()> refresh)
{
    for (const auto& key : keys) {
        m_observations.push_back(object.addObserver(key, [this, refresh](const std::string&) {
            Refreshing scope(m_refreshing);
            refresh();
        }));
    }
    Refreshing scope(m_refreshing);
    refresh();
}

void SettingsWindow::bindSettingSwitch(Gtk::Switch& control, const char* property)
{
    const AgentController::Setting* setting = nullptr;
    for (const auto& s : AgentController::settings()) {
        if (std::string(s.property) == property)
            setting = &s;
    }
    if (!setting)
        return;
    bind(controller(), {property}, [this, &control, setting] { control.set_active(controller().valueOfSetting(*setting).boolValue()); });
    control.property_active().signal_changed().connect([this, &control, setting] {
        if (!m_refreshing)
            controller().setValueOfSetting(*setting, Value(control.get_active()));
    });
}

Gtk::Label& SettingsWindow::addLabel(const std::string& text, int row)
{
    auto label = std::make_unique<Gtk::Label>(text);
    label->set_xalign(0);
    m_settings.attach(*label, 0, row);
    m_labels.push_back(std::move(label));
    return *m_labels.back();
}

void SettingsWindow::refreshSoundNames()
{
    m_soundChooser.setSounds(controller().soundGroups(), controller().feedbackSoundName());
}

void SettingsWindow::on_run_switch_changed()
{
    if (!m_refreshing)
        controller().setShouldRun(m_runSwitch.get_active());
}

void SettingsWindow::on_sound_chosen(const std::string& name)
{
    if (!m_refreshing && !name.empty())
        controller().setFeedbackSoundName(name);
}

void SettingsWindow::on_volume_changed()
{
    if (!m_refreshing)
        controller().setFeedbackSoundVolume(static_cast<float>(m_volume.get_value()));
}

void SettingsWindow::on_accessibility_clicked()
{
    if (!controller().showUniversalAccess())
        showNotice(_("This desktop has no accessibility settings Velmora knows"),
            _("Switch assistive technologies on from a terminal:\n"
              "gsettings set org.gnome.desktop.interface toolkit-accessibility true\n"
              "then log out and in again. The user guide (Help) says more."));
}

void SettingsWindow::on_ignored_clicked()
{
    if (!m_ignoredSheet)
        m_ignoredSheet = std::make_unique<IgnoredApplicationsSheet>(*this, m_pane.ignoredApplicationsController());
    m_ignoredSheet->showSheet();
}

void SettingsWindow::on_test_clicked()
{
    // A sheet over the window: the answer is dropped.
    m_testAlert = std::make_unique<Gtk::MessageDialog>(*this, _(kTestAlertTitle), false, Gtk::MESSAGE_QUESTION, Gtk::BUTTONS_NONE, true);
    m_testAlert->set_title(_(kTestAlertTitle));
    m_testAlert->set_secondary_text(_(kTestAlertMessage));
    m_testAlert->add_button(_("Cancel"), Gtk::RESPONSE_CANCEL);
    m_testAlert->add_button(_("OK"), Gtk::RESPONSE_OK);
    m_testAlert->set_default_response(Gtk::RESPONSE_OK);
    showWithoutNestedLoop(m_testAlert);
}

void SettingsWindow::on_updates_clicked()
{
    if (!m_checker) {
        const ProgramInfo pane = ProgramInfo::pane();
        Platform& platform = m_pane.platform();
        m_checker = std::make_unique<UpdateChecker>(
            UpdateChecker::Services{.localCenter = platform.localNotificationCenter(), .alerts = m_alerts, .workspace = platform.workspace()}, pane);
        m_checker->setAppcastURL(pane.appcastURL());
        m_checker->setVersionString(pane.objectForInfoDictionaryKey(ProgramInfo::kVersionKey));
        m_checker->setDisplayVersionString(pane.objectForInfoDictionaryKey(ProgramInfo::kShortVersionKey));
        m_checker->setShouldShowFailureAlert(true);
        m_checker->setShouldShowUpToDateAlert(true);
    }
    m_checker->checkForUpdate();
}

void SettingsWindow::on_help_clicked()
{
    if (!controller().helpButton())
        showNotice(_("Velmora could not open its user guide"),
            i18n::format(_("No web browser is set to open it. It is a web page: %s"), AgentController::userGuidePath().c_str()));
}

void SettingsWindow::on_website_clicked()
{
    if (!controller().visitWebsite())
        showNotice(_("Velmora could not open its web site"),
            i18n::format(_("No web browser is set to open it. Its address is %s"), AgentController::kWebsiteURL));
}

void SettingsWindow::showNotice(const std::string& title, const std::string& message)
{
    m_notice = std::make_unique<Gtk::MessageDialog>(*this, title, false, Gtk::MESSAGE_INFO, Gtk::BUTTONS_OK, true);
    m_notice->set_title(title);
    m_notice->set_secondary_text(message);
    showWithoutNestedLoop(m_notice);
}

void SettingsWindow::showWithoutNestedLoop(std::unique_ptr<Gtk::MessageDialog>& slot)
{
    slot->signal_response().connect([&slot, shown = slot.get()](int) {
        shown->hide();
        // Not from inside its own signal, and not a newer dialog in its place.
        Glib::signal_idle().connect_once([&slot, shown] {
            if (slot.get() == shown)
                slot.reset();
        });
    });
    slot->show();
}

void SettingsWindow::on_feedback_link_icon_pressed(Gtk::EntryIconPosition, const GdkEventButton*)
{
    if (!m_pane.platform().workspace().openURL(controller().feedbackMailLink()))
        showNotice(_("Velmora could not start a mail"),
            i18n::format(_("No mail program is set to open it. The address is %s"), AgentController::kFeedbackAddress));
}

void SettingsWindow::on_feedback_clicked()
{
    if (!m_feedback) {
        m_feedback = std::make_unique<FeedbackOpener>(FeedbackController::Services::of(m_pane.platform()),
            [this](FeedbackController& controller) { return std::make_unique<GtkFeedbackWindow>(controller, this); });
    }
    m_feedback->show();
}

} // namespace velmora
