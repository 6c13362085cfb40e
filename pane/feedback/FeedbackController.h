#pragma once

#include "pane/ObservableProperties.h"
#include "pane/feedback/FormRequest.h"
#include "pane/feedback/SystemProfile.h"
#include "platform/AlertService.h"
#include "shared/update/HttpTransferDelegate.h"

#include <array>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace velmora {

class Accessibility;
class FeedbackWindow;
class HttpTransfer;
class PaneServices;
class Platform;
class ProgramSettings;
class RunLoop;
class SystemLog;
class Timer;

// The feedback window's controller: an error report, a feature request or a
// support question, with contact details and an optional system profile,
// posted to the vendor's feedback server as a multipart form. One lives as
// long as its window; FeedbackOpener makes it and lets it go.
//
// Observable keys: "messageText", "insertionPoint", "currentSection",
// "includeContactInfo" (off until the user turns it on, or asks for
// support), "reportIsAvailableToSend", "includeHardwareDetails",
// "name", "emailAddress", "emailAddressChoices", "sending",
// "progressAnimating", "windowTitle".
class FeedbackController final : public ObservableProperties, private HttpTransferDelegate {
public:
    static constexpr int kSectionCount = 3;
    static constexpr int kSupportSection = 2;
    static constexpr std::array<const char*, kSectionCount> kFeedbackTypes{"BUG", "FEATURE", "SUPPORT"};
    // The three templates follow each other in the window's text, separated
    // by this; each keeps its own text once the window has loaded.
    static constexpr std::string_view kSectionSeparator = "\n\n--\n\n";
    static constexpr const char* kSuppressedProfile = "<systemProfile suppressed>";
    static constexpr const char* kFeedbackURLKey = "HXFeedbackURL";
    static constexpr const char* kStringsTable = "HXFeedbackProvider";
    // How often the run loop looks for the profile the worker makes; it takes
    // well under a second, so a person cannot tell.
    static constexpr double kProfilePollInterval = 0.05;

    // The desktop services the controller uses; they outlive it.
    struct Services {
        ProgramSettings& settings;
        RunLoop& runLoop;
        AlertService& alerts;
        SystemLog& log;
        // Read for the system profile.
        Screens& screens;
        Accessibility& accessibility;
        PaneServices& pane;

        static Services of(Platform& platform);
    };

    // Makes the front end's window for a new controller; an empty factory
    // makes none (the logic alone).
    using WindowFactory = std::function<std::unique_ptr<FeedbackWindow>(FeedbackController&)>;

    // `requestClose` asks the owner to close the window and let this
    // controller go (see retire()); the controller calls it from its own
    // stack, when the user cancels or closes the window and when the result
    // of a send has been shown.
    FeedbackController(const Services& services, const WindowFactory& makeWindow, std::function<void()> requestClose);
    ~FeedbackController() override;
    FeedbackController(const FeedbackController&) = delete;
    FeedbackController& operator=(const FeedbackController&) = delete;

    // The user default "HXFeedbackURL" when it holds a string, else the
    // pane's information value; nothing when neither has one.
    static std::optional<std::string> configuredURL(ProgramSettings& settings);
    // The configured address when it is an https one: a report (message,
    // contact details, system profile) travels only encrypted. Nothing
    // otherwise; a refused address is logged with the reason.
    static std::optional<std::string> postURL(ProgramSettings& settings, SystemLog& log);

    // A text of the strings table by key; the key itself when it lacks one.
    static std::string localizedString(const std::string& key);
    // `format` with its first "%@" replaced by `argument`.
    static std::string stringWithFormat(const std::string& format, const std::string& argument);
    // The window's initial text: the three templates and their separators.
    static std::string templateText();

    void showWindow();
    // Hides the window for good and keeps `self` (this controller, handed
    // over by its owner) until nothing of it can be on the stack: the end of
    // this pass of the loop, or, while its result alert is up, the alert's
    // answer. Requests to close after this are ignored.
    void retire(std::shared_ptr<FeedbackController> self);

    // The user's actions.
    void switchSectionAction(int segment);
    void submitAction();
    void cancelAction();
    // The window is closing by the window manager's hand.
    void windowWillClose();
    // The user changed the message; always allowed.
    void textViewDidChangeText(const std::string& text);

    // Replaces the whole message.
    void setTextViewStringTo(const std::string& text);

    // Properties the window's controls bind to.
    const std::string& messageText() const { return m_messageText; }
    // A byte offset into messageText where typing goes on.
    size_t insertionPoint() const { return m_insertionPoint; }
    int currentSection() const { return m_currentSection; }
    const std::string& sectionString(int section) const { return m_sectionStrings.at(static_cast<size_t>(section)); }
    bool includeContactInfo() const { return m_includeContactInfo; }
    void setIncludeContactInfo(bool include);
    bool reportIsAvailableToSend() const { return m_reportIsAvailableToSend; }
    void setReportIsAvailableToSend(bool available);
    bool includeHardwareDetails() const { return m_includeHardwareDetails; }
    void setIncludeHardwareDetails(bool include);
    const std::string& name() const { return m_name; }
    void setName(const std::string& name);
    const std::string& emailAddress() const { return m_emailAddress; }
    void setEmailAddress(const std::string& address);
    const std::vector<std::string>& emailAddressChoices() const { return m_emailAddressChoices; }
    // From the send until the window closes: controls disabled, text read-only.
    bool sending() const { return m_sending; }
    bool progressAnimating() const { return m_progressAnimating; }
    const std::string& windowTitle() const { return m_windowTitle; }

private:
    void windowDidLoad();
    void close();
    void showSection(int section);
    void keepCurrentText();
    void startProfilerThread();
    void pollProfiler();
    void postFeedback(const std::optional<std::string>& systemProfile);
    Form form(const std::optional<std::string>& systemProfile) const;
    void sendingFailed(const RequestError& error);
    void displayAlertMessage(const std::string& message, const std::string& informativeText, AlertStyle style);
    void setSending(bool sending);
    void setProgressAnimating(bool animating);

    // HttpTransferDelegate: the answer itself is not read.
    void connectionDidReceiveData(HttpTransfer&, std::string_view) override { }
    void connectionDidFailWithError(HttpTransfer& connection, const RequestError& error) override;
    void connectionDidFinishLoading(HttpTransfer& connection) override;

    Services m_services;
    // Emptied by retire(): the owner may be gone by the time the controller is.
    std::function<void()> m_requestClose;
    std::array<std::string, kSectionCount> m_sectionStrings;
    std::string m_messageText;
    size_t m_insertionPoint{0};
    int m_currentSection{0};
    // Name and e-mail leave the machine only when the user asks for it.
    bool m_includeContactInfo{false};
    bool m_reportIsAvailableToSend{false};
    bool m_includeHardwareDetails{false};
    std::string m_name;
    std::string m_emailAddress;
    std::vector<std::string> m_emailAddressChoices;
    bool m_sending{false};
    bool m_progressAnimating{false};
    bool m_alertRunning{false};
    // Set by retire() during the alert; released once the alert returns.
    std::shared_ptr<FeedbackController> m_keptForAlert;
    std::string m_windowTitle;

    // The profiler's one result, set by the worker and taken on the run loop.
    std::future<std::optional<std::string>> m_profile;
    std::thread m_profilerThread;
    std::unique_ptr<Timer> m_profilePoll;
    std::unique_ptr<HttpTransfer> m_connection;
    // Made last and destroyed first: it observes this controller.
    std::unique_ptr<FeedbackWindow> m_window;
};

} // namespace velmora
