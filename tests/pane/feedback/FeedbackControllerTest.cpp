#include "pane/feedback/FeedbackOpener.h"

#include "pane/feedback/FeedbackWindow.h"
#include "platform/sim/SimDesktop.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/ScopedEnvironment.h"
#include "shared/update/SimPumping.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>

namespace velmora {
namespace {

using test::LoopbackHTTPServer;
using Fields = std::map<std::string, std::string>;

// The fields of a multipart/form-data body, read independently of the
// encoder: split at the boundary the header announces.
Fields parseForm(const LoopbackHTTPServer::Request& request)
{
    const std::string prefix = "multipart/form-data; boundary=";
    const std::string& type = request.headers.at("content-type");
    EXPECT_EQ(type.rfind(prefix, 0), 0u) << type;
    const std::string delimiter = "\r\n--" + type.substr(prefix.size());
    const std::string& body = request.body;
    EXPECT_TRUE(body.ends_with(delimiter + "--\r\n"));

    Fields fields;
    size_t at = body.find(delimiter);
    while (at != std::string::npos) {
        size_t next = body.find(delimiter, at + delimiter.size());
        if (next == std::string::npos)
            break;
        std::string part = body.substr(at + delimiter.size(), next - at - delimiter.size());
        size_t headEnd = part.find("\r\n\r\n");
        std::string head = part.substr(0, headEnd);
        size_t nameAt = head.find("name=\"") + 6;
        fields[head.substr(nameAt, head.find('"', nameAt) - nameAt)] = part.substr(headEnd + 4);
        at = next;
    }
    return fields;
}

// A port on the loopback interface where nothing listens.
int closedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class RecordingWindow final : public FeedbackWindow {
public:
    explicit RecordingWindow(int& shows, int& orderOuts) : m_shows(shows), m_orderOuts(orderOuts) { }
    void showWindow() override { ++m_shows; }
    void orderOut() override { ++m_orderOuts; }

private:
    int& m_shows;
    int& m_orderOuts;
};

class FeedbackControllerTest : public ::testing::Test {
protected:
    FeedbackControllerTest()
    {
        m_server.route("/feedback", LoopbackHTTPServer::ok("received", "text/plain"));
        setFeedbackURL(m_server.url("/feedback"));
    }
    ~FeedbackControllerTest() override
    {
        m_opener.close();
        m_desktop.runPending();
    }

    void setFeedbackURL(const std::string& url)
    {
        m_desktop.standardUserDefaults().setObject("HXFeedbackURL", url);
        m_desktop.standardUserDefaults().synchronize();
    }
    FeedbackController* controller() { return m_opener.controller(); }
    std::optional<std::string> postURL() { return FeedbackController::postURL(m_desktop.standardUserDefaults(), m_desktop.systemLog()); }
    const std::vector<sim::SimAlertService::ShownAlert>& alerts() { return m_desktop.alerts().shown(); }

    // Sends the open report and waits, in bounded real time, for the result.
    void sendAndWaitForResult()
    {
        ASSERT_TRUE(controller());
        auto began = std::chrono::steady_clock::now();
        size_t before = alerts().size();
        controller()->submitAction();
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(1)) << "sending blocks";
        ASSERT_TRUE(test::runUntil(m_desktop, [&] { return alerts().size() > before; }, 15)) << "no result";
        m_desktop.runPending();
    }

    // The fields of the last report; `count` reports should have arrived.
    Fields receivedFields(size_t count = 1)
    {
        auto requests = m_server.requests();
        EXPECT_EQ(requests.size(), count);
        if (requests.empty())
            return {};
        auto& last = requests.back();
        EXPECT_EQ(last.method, "POST");
        EXPECT_EQ(last.path, "/feedback");
        EXPECT_EQ(last.headers["content-length"], std::to_string(last.body.size()));
        return parseForm(last);
    }

    test::ScopedEnvironment m_email{"EMAIL", std::string("ada@example.invalid")};
    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
    LoopbackHTTPServer m_server;
    int m_shows{0};
    int m_orderOuts{0};
    FeedbackOpener m_opener{FeedbackController::Services::of(m_desktop),
        [this](FeedbackController&) { return std::make_unique<RecordingWindow>(m_shows, m_orderOuts); }};
};

TEST_F(FeedbackControllerTest, AReportArrivesWithEveryFieldIntact)
{
    m_opener.show();
    ASSERT_TRUE(controller());
    EXPECT_TRUE(alerts().empty()) << "a reachable server asks nothing";
    EXPECT_EQ(m_shows, 1);
    EXPECT_EQ(controller()->windowTitle(), "Velmora Feedback");
    EXPECT_EQ(controller()->emailAddressChoices(), std::vector<std::string>{"ada@example.invalid"});
    EXPECT_EQ(controller()->emailAddress(), "ada@example.invalid");

    const std::string message = "Gr\u00fc\u00dfe \u2014 \u65e5\u672c\r\n--not a boundary\r\n\"quoted\" & <b>";
    controller()->textViewDidChangeText(message);
    controller()->setIncludeContactInfo(true);
    controller()->setName("Ada \u00c6lfrida");
    controller()->setEmailAddress("ada+velmora@example.invalid");
    sendAndWaitForResult();

    Fields fields = receivedFields();
    EXPECT_EQ(fields, (Fields{{"feedbackType", "BUG"}, {"feedback", message}, {"appName", "Velmora"},
                          {"bundleID", "com.brightfen.velmora.prefpane"}, {"version", ProgramInfo::buildVersion()},
                          {"systemProfile", "<systemProfile suppressed>"}, {"email", "ada+velmora@example.invalid"},
                          {"name", "Ada \u00c6lfrida"}}));

    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.title, "Thank you for your feedback!");
    EXPECT_EQ(alerts()[0].alert.message, "Your feedback has been sent.");
    EXPECT_EQ(alerts()[0].alert.buttons, std::vector<std::string>{"OK"});
    EXPECT_FALSE(controller()) << "dismissing the result closes the window";
    EXPECT_EQ(m_orderOuts, 1);
}

TEST_F(FeedbackControllerTest, TheSystemProfileIsMadeOffTheLoopAndSent)
{
    m_desktop.standardUserDefaults().setObject("playsSoundOnMove", 1);
    m_desktop.standardUserDefaults().synchronize();
    m_opener.show();
    ASSERT_TRUE(controller());
    controller()->switchSectionAction(FeedbackController::kSupportSection);
    controller()->textViewDidChangeText("Where is the switch?");
    controller()->setIncludeHardwareDetails(true);

    controller()->submitAction();
    EXPECT_TRUE(controller()->sending());
    EXPECT_TRUE(controller()->progressAnimating());
    EXPECT_TRUE(m_server.requests().empty()) << "the post waits for the profile";
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return !alerts().empty(); }, 15));
    m_desktop.runPending();

    Fields fields = receivedFields();
    EXPECT_EQ(fields["feedbackType"], "SUPPORT");
    EXPECT_EQ(fields["feedback"], "Where is the switch?");
    const std::string& profile = fields["systemProfile"];
    for (const std::string& expected : std::vector<std::string>{"Velmora\n  Version: " + ProgramInfo::buildVersion() + "\n", "    playsSoundOnMove: 1\n", "  Distribution: ", "  Kernel: ",
             "  Screens: 1\n    1440 x 900 at (0, 0), scale 1\n", "  Accessibility bus: enabled\n", "  GTK: 4.12\n"})
        EXPECT_NE(profile.find(expected), std::string::npos) << expected << " missing from:\n" << profile;
    EXPECT_EQ(alerts().back().alert.title, "Thank you for your feedback!");
    EXPECT_FALSE(controller());
}

TEST_F(FeedbackControllerTest, ContactDetailsGoOnlyWhenTheUserTicksTheBoxAndFillsThemIn)
{
    m_opener.show();
    EXPECT_FALSE(controller()->includeContactInfo()) << "name and e-mail are not sent unless asked for";
    controller()->setName("Ada");
    EXPECT_EQ(controller()->emailAddress(), "ada@example.invalid");
    controller()->switchSectionAction(1);
    sendAndWaitForResult();
    Fields fields = receivedFields();
    EXPECT_EQ(fields["feedbackType"], "FEATURE");
    EXPECT_EQ(fields.count("email") + fields.count("name"), 0u);

    m_opener.show();
    controller()->setIncludeContactInfo(true);
    controller()->windowWillClose();
    m_desktop.runPending();
    test::ScopedEnvironment noEmail("EMAIL", std::nullopt);
    m_opener.show();
    EXPECT_FALSE(controller()->includeContactInfo()) << "a new window starts afresh";
    EXPECT_TRUE(controller()->emailAddressChoices().empty()) << "no address known, none offered";
    EXPECT_EQ(controller()->emailAddress(), "");
    controller()->setIncludeContactInfo(true);
    controller()->setName("");
    sendAndWaitForResult();
    fields = receivedFields(2);
    EXPECT_EQ(fields.count("email") + fields.count("name"), 0u);
    EXPECT_EQ(fields.count("feedback"), 1u);
}

TEST_F(FeedbackControllerTest, AnUnreachableServerAsksFirst)
{
    setFeedbackURL("https://velmora-feedback.invalid/feedback");
    m_desktop.alerts().answerNextWith(1);
    m_opener.show();
    ASSERT_EQ(alerts().size(), 1u);
    const Alert& question = alerts()[0].alert;
    EXPECT_EQ(question.title, "The feedback server cannot be reached");
    EXPECT_EQ(question.message.rfind("velmora-feedback.invalid cannot be reached", 0), 0u) << question.message;
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Proceed Anyway", "Cancel"}));
    EXPECT_FALSE(controller()) << "cancel opens nothing";
    EXPECT_EQ(m_shows, 0);

    m_opener.show();
    EXPECT_EQ(alerts().size(), 2u);
    ASSERT_TRUE(controller()) << "proceeding anyway opens the window";

    // Sending there fails like any unreachable address, with nothing hung.
    sendAndWaitForResult();
    EXPECT_EQ(alerts().back().alert.title, "An Error Occured");
    EXPECT_FALSE(controller());
}

TEST_F(FeedbackControllerTest, ARefusedConnectionShowsTheErrorAndCloses)
{
    setFeedbackURL("https://127.0.0.1:" + std::to_string(closedPort()) + "/feedback");
    m_opener.show();
    ASSERT_TRUE(controller());
    EXPECT_TRUE(alerts().empty());
    controller()->textViewDidChangeText("lost");
    sendAndWaitForResult();

    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.title, "An Error Occured");
    EXPECT_EQ(alerts()[0].alert.message, "There was a problem sending your feedback.  Please try again at another time");
    ASSERT_FALSE(m_desktop.logLines().empty());
    EXPECT_EQ(m_desktop.logLines().back().rfind("-[HXFeedback connection:didFailWithError:", 0), 0u) << m_desktop.logLines().back();
    EXPECT_FALSE(controller());
    EXPECT_EQ(m_orderOuts, 1);
}

TEST_F(FeedbackControllerTest, AWindowClosedUnderItsResultAlertGoesOnlyOnceTheAlertIsAnswered)
{
    setFeedbackURL("https://127.0.0.1:" + std::to_string(closedPort()) + "/feedback");
    m_opener.show();
    ASSERT_TRUE(controller());
    controller()->textViewDidChangeText("closed early");
    bool closed = false;
    m_desktop.alerts().whileShowing = [&](const Alert&) {
        // What the alert's nested loop delivers: the window closed from its
        // title bar, and the end of that pass.
        controller()->windowWillClose();
        m_desktop.runNestedPass();
        closed = true;
    };
    sendAndWaitForResult();
    m_desktop.alerts().whileShowing = nullptr;
    EXPECT_TRUE(closed);
    EXPECT_FALSE(controller());
    EXPECT_EQ(m_orderOuts, 1);
    m_desktop.runPending();
    m_opener.show();
    EXPECT_TRUE(controller()) << "a new window opens afresh";
}

TEST_F(FeedbackControllerTest, EachKindKeepsItsTextAndSupportWantsContact)
{
    m_opener.show();
    FeedbackController& feedback = *controller();
    const std::string bugTemplate = feedback.messageText();
    EXPECT_EQ(bugTemplate.rfind("What went wrong?\n", 0), 0u);
    EXPECT_EQ(feedback.insertionPoint(), std::string("What went wrong?\n").size()) << "typing starts on the second line";
    EXPECT_FALSE(feedback.reportIsAvailableToSend());
    for (int section = 0; section < FeedbackController::kSectionCount; ++section) {
        EXPECT_FALSE(feedback.sectionString(section).empty());
        EXPECT_EQ(feedback.sectionString(section).find("\n\n--\n\n"), std::string::npos);
    }

    feedback.textViewDidChangeText(bugTemplate + "It crashed.");
    EXPECT_TRUE(feedback.reportIsAvailableToSend());
    feedback.switchSectionAction(1);
    EXPECT_FALSE(feedback.reportIsAvailableToSend());
    EXPECT_EQ(feedback.messageText().rfind("What would you like Velmora to do?\n", 0), 0u);
    feedback.textViewDidChangeText("Snap to Help buttons");
    feedback.switchSectionAction(0);
    EXPECT_EQ(feedback.messageText(), bugTemplate + "It crashed.");
    feedback.switchSectionAction(1);
    EXPECT_EQ(feedback.messageText(), "Snap to Help buttons");

    feedback.setIncludeContactInfo(false);
    feedback.switchSectionAction(FeedbackController::kSupportSection);
    EXPECT_TRUE(feedback.includeContactInfo());
    feedback.setIncludeContactInfo(false);
    feedback.switchSectionAction(0);
    EXPECT_FALSE(feedback.includeContactInfo()) << "switching away leaves it alone";
}

TEST_F(FeedbackControllerTest, AskingAgainReusesTheOpenWindowAndClosingStartsAfresh)
{
    m_opener.show();
    FeedbackController* first = controller();
    first->textViewDidChangeText("half written");
    m_opener.show();
    EXPECT_EQ(controller(), first);
    EXPECT_EQ(controller()->messageText(), "half written");
    EXPECT_EQ(m_shows, 2) << "an open window is brought forward";

    m_opener.show(std::string("details of the crash"));
    EXPECT_EQ(controller()->messageText(), "details of the crash");

    controller()->windowWillClose();
    EXPECT_FALSE(controller());
    EXPECT_EQ(m_orderOuts, 1);
    m_desktop.runPending();
    m_opener.show();
    ASSERT_TRUE(controller());
    EXPECT_EQ(controller()->messageText().rfind("What went wrong?\n", 0), 0u);
    controller()->cancelAction();
    EXPECT_FALSE(controller());
    m_opener.close(); // nothing open: nothing happens
    EXPECT_EQ(m_orderOuts, 2);
}

// A closed controller lives on until the end of the loop's pass; its opener
// (the settings window) may be gone by then, and a late close must not reach it.
TEST_F(FeedbackControllerTest, AClosedControllerNeverCallsBackAnOpenerThatIsGone)
{
    FeedbackController* closed = nullptr;
    {
        FeedbackOpener opener(FeedbackController::Services::of(m_desktop), {});
        opener.show();
        closed = opener.controller();
        ASSERT_TRUE(closed);
        closed->cancelAction();
        EXPECT_FALSE(opener.controller());
    }
    closed->windowWillClose();
    m_desktop.runPending();
}

TEST_F(FeedbackControllerTest, TheAddressComesFromTheInformationValuesUnlessTheUserOverridesIt)
{
    m_desktop.standardUserDefaults().removeObject("HXFeedbackURL");
    EXPECT_EQ(postURL(), "https://www.brightfen.com/velmora/feedback");
    setFeedbackURL("https://127.0.0.1:1/other");
    EXPECT_EQ(postURL(), "https://127.0.0.1:1/other");

    // Resources without the address (and without the strings table).
    test::TemporaryDirectory resources;
    std::ofstream(std::filesystem::path(resources.path()) / "Velmora-Info.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleName</key><string>Velmora</string></dict></plist>";
    test::ScopedEnvironment moved("VELMORA_RESOURCES", resources.path());
    m_desktop.standardUserDefaults().removeObject("HXFeedbackURL");
    EXPECT_EQ(postURL(), std::nullopt);
    m_opener.show();
    EXPECT_FALSE(controller());
    EXPECT_EQ(m_desktop.logLines().back(), "HXFeedbackURL not defined");

    // Texts the table lacks show their keys.
    setFeedbackURL(m_server.url("/feedback"));
    EXPECT_EQ(FeedbackController::localizedString("Unreachable Explanation"), "Unreachable Explanation");
    m_opener.show();
    ASSERT_TRUE(controller());
    EXPECT_EQ(controller()->windowTitle(), "Title");
}

TEST_F(FeedbackControllerTest, AReportGoesOnlyEncryptedAndOnlyToAServerWeTrust)
{
    // An override to cleartext is refused before any window opens, and says why.
    LoopbackHTTPServer cleartext(LoopbackHTTPServer::Transport::Cleartext);
    cleartext.route("/feedback", LoopbackHTTPServer::ok("received", "text/plain"));
    setFeedbackURL(cleartext.url("/feedback"));
    EXPECT_EQ(postURL(), std::nullopt);
    m_opener.show();
    EXPECT_FALSE(controller());
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.title, "Feedback cannot be sent to this address");
    EXPECT_NE(alerts()[0].alert.message.find(cleartext.url("/feedback") + " does not begin with https://"), std::string::npos)
        << alerts()[0].alert.message;
    EXPECT_NE(m_desktop.logLines().back().find("is not an https address"), std::string::npos) << m_desktop.logLines().back();

    // A window opened before the address was made insecure sends nothing.
    setFeedbackURL(m_server.url("/feedback"));
    m_opener.show();
    ASSERT_TRUE(controller());
    setFeedbackURL(cleartext.url("/feedback"));
    sendAndWaitForResult();
    EXPECT_EQ(alerts().back().alert.title, "An Error Occured");

    // A server whose certificate nobody vouches for gets nothing either.
    LoopbackHTTPServer untrusted(LoopbackHTTPServer::Transport::UntrustedTLS);
    untrusted.route("/feedback", LoopbackHTTPServer::ok("received", "text/plain"));
    setFeedbackURL(untrusted.url("/feedback"));
    m_opener.show();
    ASSERT_TRUE(controller());
    controller()->textViewDidChangeText("secret");
    sendAndWaitForResult();
    EXPECT_EQ(alerts().back().alert.title, "An Error Occured");
    EXPECT_NE(m_desktop.logLines().back().find("secure connection"), std::string::npos) << m_desktop.logLines().back();

    EXPECT_TRUE(cleartext.requests().empty());
    EXPECT_TRUE(untrusted.requests().empty());
    EXPECT_TRUE(m_server.requests().empty());
}

} // namespace
} // namespace velmora
