#include "pane/feedback/VLHXFeedbackController.h"

#include "platform/Gettext.h"

#include "pane/feedback/FeedbackWindow.h"
#include "pane/feedback/NetworkReachability.h"
#include "pane/feedback/UserAccountCard.h"
#include "platform/Platform.h"
#include "shared/preferences/PlistFileDomainStore.h"
#include "shared/update/BundleInfo.h"
#include "shared/update/URLConnection.h"
#include "shared/update/URLRequest.h"

#include <chrono>

namespace velmora {

namespace {

std::unique_ptr<VLHXFeedbackController>& sharedSlot()
{
    static std::unique_ptr<VLHXFeedbackController> shared;
    return shared;
}

VLHXFeedbackController::WindowFactory& windowFactory()
{
    static VLHXFeedbackController::WindowFactory factory;
    return factory;
}

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

// static
void VLHXFeedbackController::setWindowFactory(WindowFactory factory)
{
    windowFactory() = std::move(factory);
}

// static
void VLHXFeedbackController::showFeedback()
{
    showFeedbackWithBugDetails(std::nullopt);
}

// static
void VLHXFeedbackController::showFeedbackWithBugDetails(const std::optional<std::string>& details)
{
    std::optional<std::string> configured = configuredURL();
    if (!configured) {
        NSLog("HXFeedbackURL not defined");
        return;
    }
    std::optional<std::string> url = postURL();
    if (!url) {
        Platform::current().alerts().runModal(Alert{AlertStyle::Critical, localizedString("Feedback Address Not Secure"),
            stringWithFormat(localizedString("Insecure Address Explanation"), *configured), {_("OK")}});
        return;
    }
    std::optional<NetworkReachability::Host> host = NetworkReachability::hostOfURL(*url);
    if (!host || !NetworkReachability::checkReachabilityByName(*host)) {
        Alert question{AlertStyle::Informational, localizedString("Feedback Host Not Reachable"),
            stringWithFormat(localizedString("Unreachable Explanation"), host ? host->name : ""),
            {localizedString("Proceed Anyway"), localizedString("Cancel")}};
        if (Platform::current().alerts().runModal(question) != 0)
            return;
    }
    auto& shared = sharedSlot();
    if (!shared)
        shared = std::make_unique<VLHXFeedbackController>();
    shared->showWindow();
    if (details)
        shared->setTextViewStringTo(*details);
}

// static
std::optional<std::string> VLHXFeedbackController::configuredURL()
{
    std::string url = Platform::current().standardUserDefaults().stringForKey(kFeedbackURLKey);
    if (url.empty())
        url = BundleInfo::pane().objectForInfoDictionaryKey(BundleInfo::kHXFeedbackURL);
    if (url.empty())
        return std::nullopt;
    return url;
}

// static
std::optional<std::string> VLHXFeedbackController::postURL()
{
    std::optional<std::string> url = configuredURL();
    if (!url)
        return std::nullopt;
    if (URLRequest::schemeOfURL(*url) != "https") {
        NSLog("HXFeedbackURL refused: " + *url + " is not an https address, and a report is sent only encrypted");
        return std::nullopt;
    }
    return url;
}

// static
void VLHXFeedbackController::closeFeedback()
{
    auto& shared = sharedSlot();
    if (!shared)
        return;
    std::shared_ptr<VLHXFeedbackController> closing(std::move(shared));
    if (closing->m_window)
        closing->m_window->orderOut();
    // A modal alert's nested loop runs whole passes: the controller waiting
    // for its answer goes only once the alert has returned.
    if (closing->m_alertRunning) {
        closing->m_keptForAlert = closing;
        return;
    }
    // The controller may be on the stack here (its alert, its connection or
    // its window called): it is freed once this pass of the loop is over.
    Platform::current().runLoop().performAtEndOfPass([closing] { });
}

// static
VLHXFeedbackController* VLHXFeedbackController::sharedController()
{
    return sharedSlot().get();
}

// static
std::string VLHXFeedbackController::localizedString(const std::string& key)
{
    // The table is a property list beside the information values.
    PlistFileDomainStore store(BundleInfo::resourceDirectory());
    std::optional<Value::Dictionary> table = store.read(kStringsTable);
    if (table) {
        if (const std::string* text = valueForKey(*table, key).string())
            return _(text->c_str());
    }
    return key;
}

// static
std::string VLHXFeedbackController::stringWithFormat(const std::string& format, const std::string& argument)
{
    std::string text = format;
    if (size_t at = text.find("%@"); at != std::string::npos)
        text.replace(at, 2, argument);
    return text;
}

// static
std::string VLHXFeedbackController::templateText()
{
    return _(kTemplates);
}

VLHXFeedbackController::VLHXFeedbackController()
{
    if (windowFactory())
        m_window = windowFactory()(*this);
    windowDidLoad();
}

VLHXFeedbackController::~VLHXFeedbackController()
{
    m_window.reset();
    m_connection.reset();
    m_profilePoll.reset();
    if (m_profilerThread.joinable())
        m_profilerThread.join();
}

void VLHXFeedbackController::windowDidLoad()
{
    setReportIsAvailableToSend(false);
    m_windowTitle = stringWithFormat(localizedString("Title"), BundleInfo::pane().objectForInfoDictionaryKey(BundleInfo::kCFBundleName));
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

void VLHXFeedbackController::showWindow()
{
    if (m_window)
        m_window->showWindow();
}

void VLHXFeedbackController::showSection(int section)
{
    m_currentSection = section;
    m_messageText = m_sectionStrings[static_cast<size_t>(section)];
    m_insertionPoint = startOfSecondLine(m_messageText);
    didChangeValueForKey("currentSection");
    didChangeValueForKey("messageText");
    didChangeValueForKey("insertionPoint");
}

void VLHXFeedbackController::keepCurrentText()
{
    m_sectionStrings[static_cast<size_t>(m_currentSection)] = m_messageText;
}

void VLHXFeedbackController::switchSectionAction(int segment)
{
    if (segment < 0 || segment >= kSectionCount || m_sending)
        return;
    setReportIsAvailableToSend(false);
    keepCurrentText();
    showSection(segment);
    if (segment == kSupportSection)
        setIncludeContactInfo(true);
}

void VLHXFeedbackController::textViewDidChangeText(const std::string& text)
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

void VLHXFeedbackController::setTextViewStringTo(const std::string& text)
{
    m_messageText = text;
    m_insertionPoint = std::min(m_insertionPoint, m_messageText.size());
    didChangeValueForKey("messageText");
    didChangeValueForKey("insertionPoint");
}

void VLHXFeedbackController::cancelAction()
{
    closeFeedback();
}

void VLHXFeedbackController::windowWillClose()
{
    closeFeedback();
}

void VLHXFeedbackController::submitAction()
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

void VLHXFeedbackController::startProfilerThread()
{
    // The worker gets everything it needs up front and hands back one value:
    // it shares nothing with the run loop while it works.
    std::promise<std::optional<std::string>> promise;
    m_profile = promise.get_future();
    m_profilerThread = std::thread(
        [promise = std::move(promise), snapshot = SystemProfile::Snapshot::take()]() mutable {
            promise.set_value(SystemProfile::collect(snapshot));
        });
    m_profilePoll = Platform::current().runLoop().scheduleTimer(kProfilePollInterval, TimerRepeats::Yes, [this] { pollProfiler(); });
}

void VLHXFeedbackController::pollProfiler()
{
    if (m_profile.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    m_profilePoll->invalidate();
    m_profilerThread.join();
    postFeedback(m_profile.get());
}

Form VLHXFeedbackController::form(const std::optional<std::string>& systemProfile) const
{
    BundleInfo pane = BundleInfo::pane();
    Form form{
        {"feedbackType", std::string(kFeedbackTypes[static_cast<size_t>(m_currentSection)])},
        {"feedback", m_sectionStrings[static_cast<size_t>(m_currentSection)]},
        {"appName", pane.objectForInfoDictionaryKey(BundleInfo::kCFBundleName)},
        {"bundleID", pane.objectForInfoDictionaryKey(BundleInfo::kCFBundleIdentifier)},
        {"version", pane.objectForInfoDictionaryKey(BundleInfo::kCFBundleVersion)},
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

void VLHXFeedbackController::postFeedback(const std::optional<std::string>& systemProfile)
{
    std::optional<std::string> url = postURL();
    if (!url) {
        // The address was taken away (or made insecure) while the window was open.
        if (!configuredURL())
            NSLog("HXFeedbackURL not defined");
        sendingFailed(NSError(URLConnection::kNSURLErrorDomain, URLConnection::kNSURLErrorBadURL, "HXFeedbackURL not defined"));
        return;
    }
    m_connection = URLConnection::connectionWithRequest(FormRequest::requestWithURL(*url, form(systemProfile)), *this);
}

void VLHXFeedbackController::connectionDidFinishLoading(URLConnection&)
{
    displayAlertMessage(_("Thank you for your feedback!"), _("Your feedback has been sent."), AlertStyle::Informational);
}

void VLHXFeedbackController::connectionDidFailWithError(URLConnection&, const NSError& error)
{
    sendingFailed(error);
}

void VLHXFeedbackController::sendingFailed(const NSError& error)
{
    NSLog("-[HXFeedback connection:didFailWithError:" + error.description() + "]");
    displayAlertMessage(_("An Error Occured"), _("There was a problem sending your feedback.  Please try again at another time"),
        AlertStyle::Informational);
}

void VLHXFeedbackController::displayAlertMessage(const std::string& message, const std::string& informativeText, AlertStyle style)
{
    setProgressAnimating(false);
    m_alertRunning = true;
    Platform::current().alerts().runModal(Alert{style, message, informativeText, {_("OK")}});
    m_alertRunning = false;
    if (m_keptForAlert) {
        // Closed while the alert was up: nothing is left to do but go.
        Platform::current().runLoop().performAtEndOfPass([kept = std::move(m_keptForAlert)] { });
        return;
    }
    alertDidEnd();
}

void VLHXFeedbackController::alertDidEnd()
{
    closeFeedback();
}

void VLHXFeedbackController::setIncludeContactInfo(bool include)
{
    if (include == m_includeContactInfo)
        return;
    m_includeContactInfo = include;
    didChangeValueForKey("includeContactInfo");
}

void VLHXFeedbackController::setReportIsAvailableToSend(bool available)
{
    if (available == m_reportIsAvailableToSend)
        return;
    m_reportIsAvailableToSend = available;
    didChangeValueForKey("reportIsAvailableToSend");
}

void VLHXFeedbackController::setIncludeHardwareDetails(bool include)
{
    if (include == m_includeHardwareDetails)
        return;
    m_includeHardwareDetails = include;
    didChangeValueForKey("includeHardwareDetails");
}

void VLHXFeedbackController::setName(const std::string& name)
{
    if (name == m_name)
        return;
    m_name = name;
    didChangeValueForKey("name");
}

void VLHXFeedbackController::setEmailAddress(const std::string& address)
{
    if (address == m_emailAddress)
        return;
    m_emailAddress = address;
    didChangeValueForKey("emailAddress");
}

void VLHXFeedbackController::setSending(bool sending)
{
    if (sending == m_sending)
        return;
    m_sending = sending;
    didChangeValueForKey("sending");
}

void VLHXFeedbackController::setProgressAnimating(bool animating)
{
    if (animating == m_progressAnimating)
        return;
    m_progressAnimating = animating;
    didChangeValueForKey("progressAnimating");
}

} // namespace velmora
