#include "shared/update/UpdateFeed.h"

#include "platform/sim/SimDesktop.h"
#include "shared/update/AppcastFeeds.h"
#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/ScopedEnvironment.h"
#include "shared/update/SimPumping.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::appcastDocument;
using test::appcastItem;
using test::LoopbackHTTPServer;

struct RecordingAppcastDelegate final : UpdateFeedDelegate {
    int finishes{0};
    std::vector<RequestError> errors;
    void appcastDidFinishLoading(UpdateFeed&) override { ++finishes; }
    void appcastFailedToLoadWithError(UpdateFeed&, const RequestError& error) override { errors.push_back(error); }
    int calls() const { return finishes + static_cast<int>(errors.size()); }
};

class UpdateFeedFetchTest : public ::testing::Test {
protected:
    UpdateFeedFetchTest()
    {
        m_appcast.setDelegate(&m_delegate);
        m_appcast.setUserAgentString(std::string("BrightfenSoftware_Updater"));
        m_appcast.setPreferredLanguages({"en"});
    }

    // Fetches `path` and runs the loop until the delegate heard the end.
    void fetch(const std::string& path)
    {
        int before = m_delegate.calls();
        m_appcast.fetchAppcastFromURL(m_server.url(path));
        EXPECT_EQ(m_delegate.calls(), before) << "a fetch returns before it ends";
        EXPECT_TRUE(m_appcast.isLoading());
        ASSERT_TRUE(test::runUntil(m_desktop, [&] { return m_delegate.calls() > before; }));
        EXPECT_EQ(m_delegate.calls(), before + 1);
        EXPECT_FALSE(m_appcast.isLoading());
    }

    std::string lastFailureReason() const { return m_delegate.errors.empty() ? "" : m_delegate.errors.back().localizedFailureReason(); }

    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
    LoopbackHTTPServer m_server;
    RecordingAppcastDelegate m_delegate;
    UpdateFeed m_appcast; // last: destroyed first, while the loop still exists
};

TEST_F(UpdateFeedFetchTest, AGoodFeedLoadsSortedNewestFirst)
{
    m_server.route("/feed.xml", LoopbackHTTPServer::ok(appcastDocument(
        appcastItem("1.1", "Tue, 03 Jun 2008 12:00:00 +0000")
        + appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000")
        + appcastItem("1.2", "Thu, 05 Jun 2008 12:00:00 +0000"))));
    fetch("/feed.xml");
    EXPECT_EQ(m_delegate.finishes, 1);
    ASSERT_TRUE(m_appcast.items());
    ASSERT_EQ(m_appcast.items()->size(), 3u);
    EXPECT_EQ((*m_appcast.items())[0]->versionString(), "1.3");
    EXPECT_EQ((*m_appcast.items())[1]->versionString(), "1.2");
    EXPECT_EQ((*m_appcast.items())[2]->versionString(), "1.1");
    auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].headers["user-agent"], "BrightfenSoftware_Updater");
}

TEST_F(UpdateFeedFetchTest, LanguagesComeFromTheEnvironmentByDefault)
{
    m_server.route("/feed.xml", LoopbackHTTPServer::ok(appcastDocument(
        "<item><title>Update</title><title xml:lang=\"de\">Aktualisierung</title>"
        "<enclosure url=\"http://f.invalid/V_2.0.zip\"/></item>")));
    UpdateFeed fromEnvironment;
    fromEnvironment.setDelegate(&m_delegate);
    test::ScopedEnvironment language("LANGUAGE", "de_CH:en");
    fromEnvironment.fetchAppcastFromURL(m_server.url("/feed.xml"));
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return m_delegate.calls() == 1; }));
    ASSERT_TRUE(fromEnvironment.items());
    EXPECT_EQ(fromEnvironment.items()->front()->title(), "Aktualisierung");
}

TEST_F(UpdateFeedFetchTest, ItemsMissingFieldsAreLoggedAndSkipped)
{
    m_server.route("/feed.xml", LoopbackHTTPServer::ok(appcastDocument(
        "<item><title>no enclosure</title></item>"
        "<item><title>no version</title><enclosure url=\"http://f.invalid/Program.dmg\"/></item>"
        + appcastItem("2.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    fetch("/feed.xml");
    EXPECT_EQ(m_delegate.finishes, 1);
    ASSERT_EQ(m_appcast.items()->size(), 1u);
    int logged = 0;
    for (const auto& line : m_desktop.logLines())
        logged += line.rfind("Sparkle Updater: Failed to parse appcast item with appcast dictionary ", 0) == 0;
    EXPECT_EQ(logged, 2);
}

TEST_F(UpdateFeedFetchTest, AFeedWithoutUsableItemsKeepsTheEarlierItems)
{
    m_server.route("/feed.xml", LoopbackHTTPServer::ok(appcastDocument(appcastItem("1.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    m_server.route("/empty.xml", LoopbackHTTPServer::ok(appcastDocument("")));
    m_server.route("/broken-items.xml", LoopbackHTTPServer::ok(appcastDocument("<item><title>x</title></item>")));

    fetch("/empty.xml");
    EXPECT_EQ(m_delegate.finishes, 1);
    EXPECT_FALSE(m_appcast.items()) << "an empty channel is a success without items";

    fetch("/feed.xml");
    fetch("/broken-items.xml");
    EXPECT_EQ(m_delegate.finishes, 3);
    ASSERT_TRUE(m_appcast.items());
    EXPECT_EQ(m_appcast.items()->front()->versionString(), "1.0");
}

TEST_F(UpdateFeedFetchTest, MalformedXMLIsAParseFailure)
{
    m_server.route("/bad.xml", LoopbackHTTPServer::ok("<rss><channel><item></rss>"));
    fetch("/bad.xml");
    ASSERT_EQ(m_delegate.errors.size(), 1u);
    const RequestError& error = m_delegate.errors[0];
    EXPECT_EQ(error.domain(), "kUpdateFeedErrorDomain");
    EXPECT_EQ(error.code(), 1002);
    EXPECT_EQ(error.localizedDescription(), "An error occurred in retrieving update information. Please try again later.");
    EXPECT_EQ(error.localizedFailureReason(), "An error occurred while parsing the update feed.");
}

TEST_F(UpdateFeedFetchTest, HTTPErrorsFailEvenWithAWellFormedBody)
{
    m_server.route("/feed.xml", LoopbackHTTPServer::ok(appcastDocument(appcastItem("1.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    fetch("/feed.xml");
    LoopbackHTTPServer::Response unavailable = LoopbackHTTPServer::ok(appcastDocument(""));
    unavailable.status = 503;
    unavailable.reason = "Service Unavailable";
    m_server.route("/feed.xml", unavailable);
    fetch("/feed.xml");
    ASSERT_EQ(m_delegate.errors.size(), 1u);
    EXPECT_EQ(m_delegate.errors[0].code(), UpdateFeedError);
    EXPECT_EQ(lastFailureReason(), "The server answered with HTTP status 503.");

    fetch("/missing.xml");
    EXPECT_EQ(lastFailureReason(), "The server answered with HTTP status 404.");
    EXPECT_EQ(m_appcast.items()->size(), 1u);
}

TEST_F(UpdateFeedFetchTest, RedirectsAreFollowed)
{
    m_server.route("/old.xml", LoopbackHTTPServer::redirect("/new.xml", 301));
    m_server.route("/new.xml", LoopbackHTTPServer::ok(appcastDocument(appcastItem("3.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    fetch("/old.xml");
    EXPECT_EQ(m_delegate.finishes, 1);
    EXPECT_EQ(m_appcast.items()->front()->versionString(), "3.0");
    EXPECT_EQ(m_server.requests().size(), 2u);
}

TEST_F(UpdateFeedFetchTest, AStalledServerIsGivenUpAtThirtySecondsAndOversizedBodiesAreRefused)
{
    m_server.route("/stall.xml", LoopbackHTTPServer::stalled());
    m_appcast.fetchAppcastFromURL(m_server.url("/stall.xml"));
    m_desktop.advance(29.99);
    EXPECT_TRUE(m_appcast.isLoading());
    EXPECT_EQ(m_delegate.calls(), 0);
    m_desktop.advance(0.01);
    EXPECT_FALSE(m_appcast.isLoading());
    ASSERT_EQ(m_delegate.errors.size(), 1u);
    EXPECT_EQ(lastFailureReason(), "The request timed out.");

    LoopbackHTTPServer::Response huge;
    huge.streamedBytes = 8 * UpdateFeed::kMaximumFeedSize;
    m_server.route("/huge.xml", huge);
    fetch("/huge.xml");
    ASSERT_EQ(m_delegate.errors.size(), 2u);
    EXPECT_EQ(lastFailureReason(), "The response is larger than allowed.");
}

TEST_F(UpdateFeedFetchTest, ANewFetchReplacesTheOneUnderWay)
{
    m_server.route("/stall.xml", LoopbackHTTPServer::stalled());
    m_server.route("/feed.xml", LoopbackHTTPServer::ok(appcastDocument(appcastItem("1.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    m_appcast.fetchAppcastFromURL(m_server.url("/stall.xml"));
    m_desktop.advance(0.1);
    fetch("/feed.xml");
    m_desktop.advance(1);
    EXPECT_EQ(m_delegate.finishes, 1);
    EXPECT_TRUE(m_delegate.errors.empty());
}

} // namespace
} // namespace velmora
