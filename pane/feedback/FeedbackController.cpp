#include "pane/feedback/FeedbackController.h"

#include "platform/Gettext.h"

#include "pane/feedback/FeedbackWindow.h"
#include "pane/feedback/UserAccountCard.h"
#include "platform/Platform.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/HttpTransfer.h"
#include "shared/update/HttpRequest.h"

#include <chrono>

namespace velmora {

namespace {

// Where typing begins: the start of the template's second line (its first
// is the question it asks).
size_t startOfSecondLine(const std::string& text)
{
    size_t newline = text.find('\n');
    return newline == std::string::npos ? text.size() : newline + 1;
}

// The English texts of the strings table (resources/HXFeedbackProvider.plist),
// marked here because xgettext does not read property lists: localizedString()
// translates whatever text the table holds.
[[maybe_unused]] constexpr const char* kStringsTableTexts[] = {
    // TRANSLATORS: the feedback window's title; %@ is the program's name.
    N_("%@ Feedback"),
    N_("The feedback server cannot be reached"),
    // TRANSLATORS: %@ is the feedback server's host name.
    N_("%@ cannot be reached from this computer right now, so your report may not arrive. You can try to send it anyway."),
    N_("Proceed Anyway"),
    N_("Feedback cannot be sent to this address"),
    // TRANSLATORS: %@ is the configured feedback address.
    N_("The feedback address %@ does not begin with https://. A report is sent only over an encrypted connection, so nothing will be sent there."),
    N_("Cancel"),
};

// TRANSLATORS: the feedback form's three templates, separated by "--" lines;
// keep each question on its own line, the blank lines, "1. " and the "--" lines.
constexpr const char* kTemplates = N_(
    "What went wrong?\n"
    "\n"
    "\n"
    "What did you expect instead?\n"
    "\n"
    "\n"
    "How can we make it happen again?\n"
    "1. "
    "\n\n--\n\n"
    "What would you like Velmora to do?\n"
    "\n"
    "\n"
    "How would it help you?\n"
    "\n\n--\n\n"
    "What do you need help with?\n"
    "\n"
    "\n"
    "What have you tried so far?\n");

} // namespace

FeedbackController::Services FeedbackController::Services::of(Platform& platform)
{
    return Services{
        .settings = platform.standardUserDefaults(),
        .runLoop = platform.runLoop(),
        .alerts = platform.alerts(),
        .log = platform.systemLog(),
        .screens = platform.screens(),
        .accessibility = platform.accessibility(),
        .pane = platform.paneServices(),
    };
}

// static
std::optional<std::string> FeedbackController::configuredURL(ProgramSettings& settings)
{
    std::string url = settings.stringForKey(kFeedbackURLKey);
    if (url.empty())
        url = ProgramInfo::pane().objectForInfoDictionaryKey(ProgramInfo::kFeedbackURLKey);
    if (url.empty())
        return std::nullopt;
    return url;
}

// static
std::optional<std::string> FeedbackController::postURL(ProgramSettings& settings, SystemLog& log)
{
    std::optional<std::string> url = configuredURL(settings);
    if (!url)
        return std::nullopt;
    if (HttpRequest::schemeOfURL(*url) != "https") {
        log.log("HXFeedbackURL refused: " + *url + " is not an https address, and a report is sent only encrypted");
        return std::nullopt;
    }
    return url;
}

// static
std::string FeedbackController::localizedString(const std::string& key)
{
    // The table is a property list beside the information values.
    PlistSettingsFile store(ProgramInfo::resourceDirectory());
    std::optional<Value::Dictionary> table = store.read(kStringsTable);
    if (table) {
        if (const std::string* text = valueForKey(*table, key).string())
            return _(text->c_str());
    }
    return key;
}

// static
std::string FeedbackController::stringWithFormat(const std::string& format, const std::string& argument)
{
    std::string text = format;
    if (size_t at = text.find("%@"); at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

// static
std::string FeedbackController::templateText()
{
    return _(kTemplates);
}

FeedbackController::FeedbackController(const Services& services, const WindowFactory& makeWindow, std::function<void()> requestClose)
    : m_services(services)
    , m_requestClose(std::move(requestClose))
{
    if (makeWindow)
        m_window = makeWindow(*this);
    windowDidLoad();
}

FeedbackController::~FeedbackController()
{
    m_window.reset();
    m_connection.reset();
    m_profilePoll.reset();
    if (m_profilerThread.joinable())
        m_profilerThread.join();
}

void FeedbackController::windowDidLoad()
{
    setReportIsAvailableToSend(false);
    m_windowTitle = stringWithFormat(localizedString("Title"), ProgramInfo::pane().objectForInfoDictionaryKey(ProgramInfo::kNameKey));
    didChangeValueForKey("windowTitle");

    const std::string text = templateText();
    std::string_view rest = text;
    for (size_t section = 0; section < kSectionCount; ++section) {
        // The last entry takes everything after the second separator.
        size_t separator = section + 1 < kSectionCount ? rest.find(kSectionSeparator) : std::string_view::npos;
        m_sectionStrings[section] = std::string(rest.substr(0, separator));
        rest = separator == std::string_view::npos ? std::string_view{} : rest.substr(separator + kSectionSeparator.size());
    }
    showSection(0);

    std::optional<UserAccountCard> card = UserAccountCard::me();
    if (!card)
        return;
    setName(card->fullName);
    m_emailAddressChoices = card->emailAddresses;
    didChangeValueForKey("emailAddressChoices");
    if (!m_emailAddressChoices.empty())
        setEmailAddress(m_emailAddressChoices.front());
}

void FeedbackController::showWindow()
{
    if (m_window)
        m_window->showWindow();
}

void FeedbackController::retire(std::shared_ptr<FeedbackController> self)
{
    m_requestClose = nullptr;
    if (m_window)
        m_window->orderOut();
    // A modal alert's nested loop runs whole passes: the controller waiting
    // for its answer goes only once the alert has returned.
    if (m_alertRunning) {
        m_keptForAlert = std::move(self);
        return;
    }
    // The controller may be on the stack here (its alert, its connection or
    // its window called): it is freed once this pass of the loop is over.
    m_services.runLoop.performAtEndOfPass([self = std::move(self)] { });
}

void FeedbackController::showSection(int section)
{
    m_currentSection = section;
    m_messageText = m_sectionStrings[static_cast<size_t>(section)];
    m_insertionPoint = startOfSecondLine(m_messageText);
    didChangeValueForKey("currentSection");
    didChangeValueForKey("messageText");
    didChangeValueForKey("insertionPoint");
}

void FeedbackController::keepCurrentText()
{
    m_sectionStrings[static_cast<size_t>(m_currentSection)] = m_messageText;
}

void FeedbackController::switchSectionAction(int segment)
{
    if (segment < 0 || segment >= kSectionCount || m_sending)
        return;
    setReportIsAvailableToSend(false);
    keepCurrentText();
    showSection(segment);
    if (segment == kSupportSection)
        setIncludeContactInfo(true);
}

void FeedbackController::textViewDidChangeText(const std::string& text)
{
    if (m_sending)
        return;
    if (text != m_messageText) {
        m_messageText = text;
        m_insertionPoint = std::min(m_insertionPoint, m_messageText.size());
        didChangeValueForKey("messageText");
    }
    setReportIsAvailableToSend(true);
}

void FeedbackController::setTextViewStringTo(const std::string& text)
{
    m_messageText = text;
    m_insertionPoint = std::min(m_insertionPoint, m_messageText.size());
    didChangeValueForKey("messageText");
    didChangeValueForKey("insertionPoint");
}

void FeedbackController::cancelAction()
{
    close();
}

void FeedbackController::windowWillClose()
{
    close();
}

void FeedbackController::close()
{
    if (m_requestClose)
        m_requestClose();
}

void FeedbackController::submitAction()
{
    // The controls are disabled from here on; a second press cannot start a
    // second report.
    if (m_sending)
        return;
    setSending(true);
    keepCurrentText();
    setProgressAnimating(true);
    if (!m_includeHardwareDetails)
        postFeedback(std::string(kSuppressedProfile));
    else
        startProfilerThread();
}

void FeedbackController::startProfilerThread()
{
    // The worker gets everything it needs up front and hands back one value:
    // it shares nothing with the run loop while it works.
    std::promise<std::optional<std::string>> promise;
    m_profile = promise.get_future();
    m_profilerThread = std::thread(
        [promise = std::move(promise), snapshot = SystemProfile::Snapshot::take(m_services.settings, m_services.screens, m_services.accessibility, m_services.pane)]() mutable {
            promise.set_value(SystemProfile::collect(snapshot));
        });
    m_profilePoll = m_services.runLoop.scheduleTimer(kProfilePollInterval, TimerRepeats::Yes, [this] { pollProfiler(); });
}

void FeedbackController::pollProfiler()
{
    if (m_profile.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_profilePoll->invalidate();
    m_profilerThread.join();
    postFeedback(m_profile.get());
}

Form FeedbackController::form(const std::optional<std::string>& systemProfile) const
{
    ProgramInfo pane = ProgramInfo::pane();
    Form form{
        {"feedbackType", std::string(kFeedbackTypes[static_cast<size_t>(m_currentSection)])},
        {"feedback", m_sectionStrings[static_cast<size_t>(m_currentSection)]},
        {"appName", pane.objectForInfoDictionaryKey(ProgramInfo::kNameKey)},
        {"bundleID", pane.objectForInfoDictionaryKey(ProgramInfo::kIdentifierKey)},
        {"version", pane.objectForInfoDictionaryKey(ProgramInfo::kVersionKey)},
    };
    if (systemProfile)
        form.emplace("systemProfile", *systemProfile);
    if (m_includeContactInfo) {
        if (!m_emailAddress.empty())
            form.emplace("email", m_emailAddress);
        if (!m_name.empty())
            form.emplace("name", m_name);
    }
    return form;
}

void FeedbackController::postFeedback(const std::optional<std::string>& systemProfile)
{
    std::optional<std::string> url = postURL(m_services.settings, m_services.log);
    if (!url) {
        // The address was taken away (or made insecure) while the window was open.
        if (!configuredURL(m_services.settings))
            m_services.log.log("HXFeedbackURL not defined");
        sendingFailed(RequestError(HttpTransfer::kRequestErrorDomain, HttpTransfer::kRequestErrorBadUrl, "HXFeedbackURL not defined"));
        return;
    }
    m_connection = HttpTransfer::connectionWithRequest(FormRequest::requestWithURL(*url, form(systemProfile)), *this);
}

void FeedbackController::connectionDidFinishLoading(HttpTransfer&)
{
    displayAlertMessage(_("Thank you for your feedback!"), _("Your feedback has been sent."), AlertStyle::Informational);
}

void FeedbackController::connectionDidFailWithError(HttpTransfer&, const RequestError& error)
{
    sendingFailed(error);
}

void FeedbackController::sendingFailed(const RequestError& error)
{
    m_services.log.log("-[HXFeedback connection:didFailWithError:" + error.description() + "]");
    displayAlertMessage(_("An Error Occured"), _("There was a problem sending your feedback.  Please try again at another time"),
        AlertStyle::Informational);
}

void FeedbackController::displayAlertMessage(const std::string& message, const std::string& informativeText, AlertStyle style)
{
    setProgressAnimating(false);
    m_alertRunning = true;
    m_services.alerts.runModal(Alert{style, message, informativeText, {_("OK")}});
    m_alertRunning = false;
    if (m_keptForAlert) {
        // Closed while the alert was up: nothing is left to do but go.
        m_services.runLoop.performAtEndOfPass([kept = std::move(m_keptForAlert)] { });
        return;
    }
    close();
}

void FeedbackController::setIncludeContactInfo(bool include)
{
    if (include == m_includeContactInfo)
        return;
    m_includeContactInfo = include;
    didChangeValueForKey("includeContactInfo");
}

void FeedbackController::setReportIsAvailableToSend(bool available)
{
    if (available == m_reportIsAvailableToSend)
        return;
    m_reportIsAvailableToSend = available;
    didChangeValueForKey("reportIsAvailableToSend");
}

void FeedbackController::setIncludeHardwareDetails(bool include)
{
    if (include == m_includeHardwareDetails)
        return;
    m_includeHardwareDetails = include;
    didChangeValueForKey("includeHardwareDetails");
}

void FeedbackController::setName(const std::string& name)
{
    if (name == m_name)
        return;
    m_name = name;
    didChangeValueForKey("name");
}

void FeedbackController::setEmailAddress(const std::string& address)
{
    if (address == m_emailAddress)
        return;
    m_emailAddress = address;
    didChangeValueForKey("emailAddress");
}

void FeedbackController::setSending(bool sending)
{
    if (sending == m_sending)
        return;
    m_sending = sending;
    didChangeValueForKey("sending");
}

void FeedbackController::setProgressAnimating(bool animating)
{
    if (animating == m_progressAnimating)
        return;
    m_progressAnimating = animating;
    didChangeValueForKey("progressAnimating");
}

} // namespace velmora
