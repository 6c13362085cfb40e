#include "shared/update/UpdateChecker.h"

#include "platform/sim/SimAlertService.h"
#include "platform/sim/SimDesktop.h"
#include "shared/update/AppcastFeeds.h"
#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/SimPumping.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

using test::appcastDocument;
using test::appcastItem;
using test::LoopbackHTTPServer;

constexpr const char* kFeedPath = "/velmora/download/assets/VelmoraAppcast.xml";
const std::string kOfferMessage12 =
    "Version 1.2.5 is available. You have version 1.2.\n\nTo upgrade, download the new version and double-click the file "
    "that appears on your desktop.\n\nWould you like to download the new version?\n";

struct RecordingCheckerDelegate final : UpdateCheckerDelegate {
    std::optional<bool> verbose;
    int finished{0};
    std::optional<bool> shouldShowVerboseUI() override { return verbose; }
    void updateCheckFinished() override { ++finished; }
};

class UpdateCheckerTest : public ::testing::Test {
protected:
    UpdateCheckerTest()
    {
        m_checker = std::make_unique<UpdateChecker>(UpdateChecker::Services::of(m_desktop), ProgramInfo(Value::Dictionary{{"CFBundleName", Value("VelmoraBundle")}}));
        m_checker->setAppcastURL(m_server.url(kFeedPath));
        m_checker->setVersionString("1.2");
        m_checker->setAppName("Velmora");
        m_checker->setSystemFacts(SystemVersion::Facts{"10.4.11", "", "6.1.0-13-amd64"});
        m_checker->setDelegate(&m_delegate);
    }
    void serveFeed(const std::string& items) { m_server.route(kFeedPath, LoopbackHTTPServer::ok(appcastDocument(items))); }

    // Runs one check to its end, as the delegate hears it.
    void check()
    {
        int before = m_delegate.finished;
        m_checker->checkForUpdate();
        ASSERT_TRUE(test::runUntil(m_desktop, [&] { return m_delegate.finished > before; }));
        EXPECT_EQ(m_delegate.finished, before + 1);
    }

    bool logged(const std::string& line) const
    {
        const auto& lines = m_desktop.logLines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    const std::vector<sim::SimAlertService::ShownAlert>& alerts() { return m_desktop.alerts().shown(); }

    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
    LoopbackHTTPServer m_server;
    RecordingCheckerDelegate m_delegate;
    std::unique_ptr<UpdateChecker> m_checker;
};

TEST_F(UpdateCheckerTest, OffersTheNewestItemTheSystemSupports)
{
    serveFeed(appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000", "<sparkle:minimumSystemVersion>10.5</sparkle:minimumSystemVersion>")
        + appcastItem("1.2.5", "Fri, 06 Jun 2008 12:00:00 +0000")
        + appcastItem("1.1", "Thu, 05 Jun 2008 12:00:00 +0000"));
    check();
    ASSERT_EQ(alerts().size(), 1u);
    const Alert& offer = alerts()[0].alert;
    EXPECT_EQ(offer.style, AlertStyle::Informational);
    EXPECT_EQ(offer.title, "An updated version of Velmora is available!");
    EXPECT_EQ(offer.message, kOfferMessage12);
    EXPECT_EQ(offer.buttons, (std::vector<std::string>{"Go to Update Webpage", "Cancel"}));
    EXPECT_EQ(m_desktop.openedURLs(), (std::vector<std::string>{"http://notes.invalid/1.2.5.html"}));
    EXPECT_EQ(m_server.requests().at(0).headers["user-agent"], "BrightfenSoftware_Updater");
    EXPECT_EQ(m_checker->outcome(), UpdateChecker::Outcome::UpdateOffered);
}

TEST_F(UpdateCheckerTest, AnOfferIsShownEvenWhenSilentAndCancelOpensNothing)
{
    m_delegate.verbose = false;
    serveFeed(appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000", "", "sparkle:shortVersionString=\"1.3 (final)\""));
    m_desktop.alerts().answerNextWith(1);
    check();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_NE(alerts()[0].alert.message.find("Version 1.3 (final) is available."), std::string::npos);
    EXPECT_TRUE(m_desktop.openedURLs().empty());
    EXPECT_EQ(m_checker->offeredItem()->versionString(), "1.3");
}

TEST_F(UpdateCheckerTest, LosingTheFrontClosesTheOfferUnconfirmed)
{
    serveFeed(appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000"));
    m_desktop.alerts().whileShowing = [&](const Alert&) {
        m_desktop.localNotificationCenter().post(kWillResignActiveNotification);
    };
    check();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].answer, std::nullopt);
    EXPECT_TRUE(m_desktop.openedURLs().empty());

    // Outside an alert the notification changes nothing.
    m_desktop.alerts().whileShowing = nullptr;
    m_desktop.localNotificationCenter().post(kWillResignActiveNotification);
    check();
    EXPECT_EQ(m_desktop.openedURLs().size(), 1u);
}

TEST_F(UpdateCheckerTest, UpToDateIsLoggedAndShownOnlyWhenAsked)
{
    serveFeed(appcastItem("1.2", "Sat, 07 Jun 2008 12:00:00 +0000") + appcastItem("1.0b", "Fri, 06 Jun 2008 12:00:00 +0000"));
    EXPECT_EQ(m_checker->outcome(), UpdateChecker::Outcome::NotChecked);
    check();
    EXPECT_TRUE(alerts().empty());
    EXPECT_TRUE(logged("1.2 is the latest version of Velmora."));
    // Known without an alert, and without reading one's text in any language.
    EXPECT_EQ(m_checker->outcome(), UpdateChecker::Outcome::UpToDate);

    m_checker->setShouldShowUpToDateAlert(true);
    m_checker->setDisplayVersionString("1.2 (12)");
    check();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.style, AlertStyle::Critical);
    EXPECT_EQ(alerts()[0].alert.title, "You are up to date!");
    EXPECT_EQ(alerts()[0].alert.message, "1.2 (12) is the latest version of Velmora.");
    EXPECT_EQ(alerts()[0].alert.buttons, (std::vector<std::string>{"OK"}));

    // 1.0b is older than 1.0.
    m_checker->setVersionString("1.0");
    serveFeed(appcastItem("1.0b", "Sat, 07 Jun 2008 12:00:00 +0000"));
    check();
    EXPECT_EQ(alerts().back().alert.title, "You are up to date!");
}

TEST_F(UpdateCheckerTest, TheDelegatesAnswerOverridesTheStoredFlags)
{
    serveFeed(appcastItem("1.2", "Sat, 07 Jun 2008 12:00:00 +0000"));
    m_delegate.verbose = false;
    m_checker->setShouldShowUpToDateAlert(true);
    m_checker->setShouldShowFailureAlert(true);
    EXPECT_FALSE(m_checker->shouldShowUpToDateAlert());
    check();
    EXPECT_TRUE(alerts().empty());

    // The flags were stored all the same: they differed from the answer.
    m_delegate.verbose.reset();
    EXPECT_TRUE(m_checker->shouldShowUpToDateAlert());
    EXPECT_TRUE(m_checker->shouldShowFailureAlert());
    // A setter equal to the current answer stores nothing.
    m_delegate.verbose = false;
    m_checker->setShouldShowUpToDateAlert(false);
    m_delegate.verbose.reset();
    EXPECT_TRUE(m_checker->shouldShowUpToDateAlert());

    m_delegate.verbose = true;
    check();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.title, "You are up to date!");
}

TEST_F(UpdateCheckerTest, MinimumSystemVersions)
{
    auto item = [&](const std::string& minimum) {
        return UpdateFeedItem::initWithDictionary(Value::Dictionary{{"sparkle:minimumSystemVersion", Value(minimum)},
            {"enclosure", Value(Value::Dictionary{{"url", Value("http://f.invalid/V_1.zip")}})}});
    };
    EXPECT_TRUE(m_checker->hostSupportsItem(*item("")));
    EXPECT_TRUE(m_checker->hostSupportsItem(*item("10.4")));
    EXPECT_TRUE(m_checker->hostSupportsItem(*item("10.4.11")));
    EXPECT_FALSE(m_checker->hostSupportsItem(*item("10.4.12")));
}

// A rolling distribution names no version: the kernel's stands in, so items
// with a minimum are still offered.
TEST_F(UpdateCheckerTest, ARollingSystemIsOfferedTheNewestItemItMeets)
{
    m_checker->setSystemFacts(SystemVersion::Facts{"", "", "6.12.5-amd64"});
    serveFeed(appcastItem("1.4", "Sun, 08 Jun 2008 12:00:00 +0000", "<sparkle:minimumSystemVersion>7.0</sparkle:minimumSystemVersion>")
        + appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000", "<sparkle:minimumSystemVersion>6.1</sparkle:minimumSystemVersion>"));
    m_desktop.alerts().answerNextWith(1);
    check();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_NE(alerts()[0].alert.message.find("Version 1.3 is available."), std::string::npos) << alerts()[0].alert.message;
}

TEST_F(UpdateCheckerTest, ANewerItemWithoutReleaseNotesIsAFailure)
{
    serveFeed("<item><description>Fixes</description><enclosure url=\"http://f.invalid/V_2.0.zip\"/></item>");
    check();
    EXPECT_TRUE(alerts().empty());
    EXPECT_TRUE(logged("no valid release notes url"));

    m_checker->setShouldShowFailureAlert(true);
    check();
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.title, "Failure checking for updates");
    EXPECT_EQ(alerts()[0].alert.message,
        "There is a new version of Velmora, but the update information for version 2.0 is incomplete.\n\nPlease try again later.");
    EXPECT_TRUE(m_desktop.openedURLs().empty());
}

TEST_F(UpdateCheckerTest, FeedFailuresAreLoggedAndShownWhenAsked)
{
    m_server.route(kFeedPath, LoopbackHTTPServer::ok("not xml"));
    m_checker->setShouldShowFailureAlert(true);
    check();
    EXPECT_TRUE(logged("failed to load appcast for " + m_server.url(kFeedPath)));
    bool sawError = false;
    for (const auto& line : m_desktop.logLines())
        sawError = sawError || (line.rfind("error:Error Domain=kUpdateFeedErrorDomain Code=1002", 0) == 0);
    EXPECT_TRUE(sawError);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].alert.title, "Failure checking for updates");
    EXPECT_EQ(alerts()[0].alert.message, "An error occurred in retrieving update information. Please try again later.");
    EXPECT_EQ(m_checker->outcome(), UpdateChecker::Outcome::Failed);

    // Each check says what it found itself.
    serveFeed(appcastItem("1.2", "Sat, 07 Jun 2008 12:00:00 +0000"));
    check();
    EXPECT_EQ(m_checker->outcome(), UpdateChecker::Outcome::UpToDate);
}

TEST_F(UpdateCheckerTest, AFeedWithoutItemsIsAFailure)
{
    serveFeed("");
    m_checker->setAppName("");
    m_checker->setShouldShowFailureAlert(true);
    check();
    ASSERT_EQ(alerts().size(), 1u);
    // No name set: the bundle's name.
    EXPECT_EQ(alerts()[0].alert.message, "There was an error checking for a new version of VelmoraBundle.\n\nPlease try again later.");
    EXPECT_TRUE(logged(alerts()[0].alert.message));
    EXPECT_EQ(m_checker->outcome(), UpdateChecker::Outcome::Failed);
}

TEST_F(UpdateCheckerTest, NoAddressOrVersionStartsNothing)
{
    serveFeed(appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000"));
    m_checker->setVersionString("");
    m_checker->checkForUpdate();
    m_checker->setVersionString("1.2");
    m_checker->setAppcastURL("");
    m_checker->checkForUpdate();
    test::runUntil(m_desktop, [] { return false; }, 0.2);
    EXPECT_EQ(m_delegate.finished, 0);
    EXPECT_TRUE(m_server.requests().empty());
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(m_checker->displayVersionString(), "1.2");
}

TEST_F(UpdateCheckerTest, ItemsSortByVersion)
{
    auto item = [](const std::string& version) {
        return std::shared_ptr<const UpdateFeedItem>(UpdateFeedItem::initWithDictionary(Value::Dictionary{
            {"enclosure", Value(Value::Dictionary{{"url", Value("http://f.invalid/x.zip")}, {"sparkle:version", Value(version)}})}}));
    };
    UpdateFeed::Items items{item("1.10"), item("1.2"), item("1.2b"), item("2")};
    std::stable_sort(items.begin(), items.end(), &UpdateChecker::itemsSort);
    std::vector<std::string> order;
    for (const auto& i : items)
        order.push_back(i->versionString());
    EXPECT_EQ(order, (std::vector<std::string>{"1.2b", "1.2", "1.10", "2"}));
}

} // namespace
} // namespace velmora
