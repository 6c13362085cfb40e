#include "pane/gtk/feedback/GtkFeedbackWindow.h"

#include "platform/Gettext.h"

#include "pane/feedback/FeedbackController.h"

namespace velmora {

namespace {

constexpr std::array<const char*, 3> kKindTitles{N_("Error Report"), N_("Feature Request"), N_("Support Question")};

void setAccessibleName(Gtk::Widget& widget, const char* name)
{
    if (auto accessible = widget.get_accessible())
        accessible->set_name(name);
}

} // namespace

GtkFeedbackWindow::GtkFeedbackWindow(FeedbackController& controller, Gtk::Window* transientFor) : m_controller(controller)
{
    if (transientFor)
        set_transient_for(*transientFor);
    set_default_size(520, 460);
    set_border_width(12);

    m_kinds.get_style_context()->add_class("linked");
    m_kinds.set_halign(Gtk::ALIGN_CENTER);
    for (size_t i = 0; i < m_kindButtons.size(); ++i) {
        Gtk::RadioButton& button = m_kindButtons[i];
        button.set_group(m_kindGroup);
        button.set_label(_(kKindTitles[i]));
        // Drawn as a row of joined toggle buttons, one per kind.
        button.set_mode(false);
        setAccessibleName(button, _(kKindTitles[i]));
        button.signal_toggled().connect([this, i] { on_kind_toggled(static_cast<int>(i)); });
        m_kinds.pack_start(button);
    }
    m_content.pack_start(m_kinds, Gtk::PACK_SHRINK);

    m_message.set_wrap_mode(Gtk::WRAP_WORD_CHAR);
    // Text set off from the frame, as in any editor.
    m_message.set_left_margin(8);
    m_message.set_right_margin(8);
    m_message.set_top_margin(6);
    m_message.set_bottom_margin(6);
    setAccessibleName(m_message, _("Message"));
    m_message.get_buffer()->signal_changed().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_message_changed));
    m_messageScroller.set_shadow_type(Gtk::SHADOW_IN);
    m_messageScroller.add(m_message);
    m_content.pack_start(m_messageScroller, Gtk::PACK_EXPAND_WIDGET);

    setAccessibleName(m_includeContact, _("Include my name and e-mail address"));
    m_includeContact.signal_toggled().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_contact_toggled));
    m_content.pack_start(m_includeContact, Gtk::PACK_SHRINK);

    m_contactGrid.set_row_spacing(6);
    m_contactGrid.set_column_spacing(8);
    m_nameLabel.set_halign(Gtk::ALIGN_END);
    m_emailLabel.set_halign(Gtk::ALIGN_END);
    m_name.set_hexpand(true);
    m_email.set_hexpand(true);
    setAccessibleName(m_name, _("Name"));
    setAccessibleName(m_email, _("E-mail address"));
    setAccessibleName(*m_email.get_entry(), _("E-mail address"));
    m_nameLabel.set_mnemonic_widget(m_name);
    m_emailLabel.set_mnemonic_widget(*m_email.get_entry());
    m_name.signal_changed().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_name_changed));
    m_email.get_entry()->signal_changed().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_email_changed));
    m_contactGrid.attach(m_nameLabel, 0, 0);
    m_contactGrid.attach(m_name, 1, 0);
    m_contactGrid.attach(m_emailLabel, 0, 1);
    m_contactGrid.attach(m_email, 1, 1);
    m_content.pack_start(m_contactGrid, Gtk::PACK_SHRINK);

    setAccessibleName(m_includeHardware, _("Include a summary of this computer's hardware and software"));
    m_includeHardware.signal_toggled().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_hardware_toggled));
    m_content.pack_start(m_includeHardware, Gtk::PACK_SHRINK);

    setAccessibleName(m_progress, _("Sending"));
    setAccessibleName(m_cancel, _("Cancel"));
    setAccessibleName(m_send, _("Send"));
    m_cancel.signal_clicked().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_cancel_clicked));
    m_send.signal_clicked().connect(sigc::mem_fun(*this, &GtkFeedbackWindow::on_send_clicked));
    m_buttons.pack_start(m_progress, Gtk::PACK_SHRINK);
    m_buttons.pack_end(m_send, Gtk::PACK_SHRINK);
    m_buttons.pack_end(m_cancel, Gtk::PACK_SHRINK);
    m_content.pack_start(m_buttons, Gtk::PACK_SHRINK);
    add(m_content);
    m_send.set_can_default(true);
    set_default(m_send);

    observe("windowTitle", &GtkFeedbackWindow::updateTitle);
    observe("currentSection", &GtkFeedbackWindow::updateSection);
    observe("messageText", &GtkFeedbackWindow::updateMessage);
    observe("insertionPoint", &GtkFeedbackWindow::updateInsertionPoint);
    observe("includeContactInfo", &GtkFeedbackWindow::updateContactInfo);
    observe("includeHardwareDetails", &GtkFeedbackWindow::updateHardwareDetails);
    observe("name", &GtkFeedbackWindow::updateName);
    observe("emailAddressChoices", &GtkFeedbackWindow::updateEmailChoices);
    observe("emailAddress", &GtkFeedbackWindow::updateEmailAddress);
    observe("reportIsAvailableToSend", &GtkFeedbackWindow::updateSendingState);
    observe("sending", &GtkFeedbackWindow::updateSendingState);
    observe("progressAnimating", &GtkFeedbackWindow::updateProgress);
}

GtkFeedbackWindow::~GtkFeedbackWindow()
{
    m_observations.clear();
}

void GtkFeedbackWindow::observe(const char* key, void (GtkFeedbackWindow::*update)())
{
    m_observations.push_back(m_controller.addObserver(key, [this, update](const std::string&) { (this->*update)(); }));
    (this->*update)();
}

void GtkFeedbackWindow::showWindow()
{
    set_position(Gtk::WIN_POS_CENTER);
    show_all();
    present();
}

void GtkFeedbackWindow::orderOut()
{
    hide();
}

void GtkFeedbackWindow::updateTitle()
{
    set_title(m_controller.windowTitle());
}

void GtkFeedbackWindow::updateSection()
{
    m_updating = true;
    m_kindButtons[static_cast<size_t>(m_controller.currentSection())].set_active(true);
    m_updating = false;
}

void GtkFeedbackWindow::updateMessage()
{
    auto buffer = m_message.get_buffer();
    if (buffer->get_text() == m_controller.messageText())
        return;
    m_updating = true;
    buffer->set_text(m_controller.messageText());
    m_updating = false;
}

void GtkFeedbackWindow::updateInsertionPoint()
{
    const std::string& text = m_controller.messageText();
    size_t bytes = std::min(m_controller.insertionPoint(), text.size());
    auto buffer = m_message.get_buffer();
    // The controller counts bytes; the buffer counts characters.
    buffer->place_cursor(buffer->get_iter_at_offset(static_cast<int>(g_utf8_pointer_to_offset(text.data(), text.data() + bytes))));
}

void GtkFeedbackWindow::updateContactInfo()
{
    m_updating = true;
    m_includeContact.set_active(m_controller.includeContactInfo());
    m_updating = false;
    updateSendingState();
}

void GtkFeedbackWindow::updateHardwareDetails()
{
    m_updating = true;
    m_includeHardware.set_active(m_controller.includeHardwareDetails());
    m_updating = false;
}

void GtkFeedbackWindow::updateName()
{
    if (m_name.get_text() == m_controller.name())
        return;
    m_updating = true;
    m_name.set_text(m_controller.name());
    m_updating = false;
}

void GtkFeedbackWindow::updateEmailAddress()
{
    Gtk::Entry& entry = *m_email.get_entry();
    if (entry.get_text() == m_controller.emailAddress())
        return;
    m_updating = true;
    entry.set_text(m_controller.emailAddress());
    m_updating = false;
}

void GtkFeedbackWindow::updateEmailChoices()
{
    m_updating = true;
    m_email.remove_all();
    for (const std::string& address : m_controller.emailAddressChoices())
        m_email.append(address);
    m_updating = false;
    updateEmailAddress();
}

void GtkFeedbackWindow::updateSendingState()
{
    const bool sending = m_controller.sending();
    m_send.set_sensitive(m_controller.reportIsAvailableToSend() && !sending);
    m_cancel.set_sensitive(!sending);
    m_message.set_editable(!sending);
    m_kinds.set_sensitive(!sending);
    m_includeContact.set_sensitive(!sending);
    m_contactGrid.set_sensitive(!sending && m_controller.includeContactInfo());
    m_includeHardware.set_sensitive(!sending);
}

void GtkFeedbackWindow::updateProgress()
{
    if (m_controller.progressAnimating())
        m_progress.start();
    else
        m_progress.stop();
}

void GtkFeedbackWindow::on_kind_toggled(int section)
{
    if (!m_updating && m_kindButtons[static_cast<size_t>(section)].get_active())
        m_controller.switchSectionAction(section);
}

void GtkFeedbackWindow::on_message_changed()
{
    if (!m_updating)
        m_controller.textViewDidChangeText(m_message.get_buffer()->get_text());
}

void GtkFeedbackWindow::on_contact_toggled()
{
    if (!m_updating)
        m_controller.setIncludeContactInfo(m_includeContact.get_active());
}

void GtkFeedbackWindow::on_hardware_toggled()
{
    if (!m_updating)
        m_controller.setIncludeHardwareDetails(m_includeHardware.get_active());
}

void GtkFeedbackWindow::on_name_changed()
{
    if (!m_updating)
        m_controller.setName(m_name.get_text());
}

void GtkFeedbackWindow::on_email_changed()
{
    if (!m_updating)
        m_controller.setEmailAddress(m_email.get_entry()->get_text());
}

void GtkFeedbackWindow::on_send_clicked()
{
    m_controller.submitAction();
}

void GtkFeedbackWindow::on_cancel_clicked()
{
    m_controller.cancelAction();
}

bool GtkFeedbackWindow::on_delete_event(GdkEventAny*)
{
    // The controller hides the window and frees it (and this) later.
    m_controller.windowWillClose();
    return true;
}

} // namespace velmora
