#include "shared/update/HttpTransfer.h"

#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimRunLoop.h"
#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/RecordingConnectionDelegate.h"
#include "shared/update/ScopedEnvironment.h"
#include "shared/update/SimPumping.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::LoopbackHTTPServer;
using test::RecordingConnectionDelegate;
using test::pumpUntilFinished;

class HttpTransferTest : public ::testing::Test {
protected:
    std::unique_ptr<HttpTransfer> start(const std::string& path, double timeout = 10, size_t cap = HttpTransfer::kDefaultMaximumBodySize)
    {
        HttpRequest request(m_server.url(path));
        request.setTimeoutInterval(timeout);
        request.setValueForHTTPHeaderField("test-agent", "User-Agent");
        return HttpTransfer::connectionWithRequest(request, m_delegate, cap);
    }

    LoopbackHTTPServer m_server;
    RecordingConnectionDelegate m_delegate;
};

TEST_F(HttpTransferTest, LoadsABodyAndSendsTheHeaders)
{
    m_server.route("/feed", LoopbackHTTPServer::ok("<rss/>"));
    auto connection = start("/feed");
    EXPECT_EQ(m_delegate.chunks, 0) << "nothing is delivered before the loop runs";
    ASSERT_TRUE(pumpUntilFinished(*connection));
    EXPECT_EQ(m_delegate.finishes, 1);
    EXPECT_FALSE(m_delegate.error);
    EXPECT_EQ(m_delegate.body, "<rss/>");
    EXPECT_EQ(connection->statusCode(), 200);
    auto requests = m_server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].headers["user-agent"], "test-agent");
}

TEST_F(HttpTransferTest, FollowsRedirectsAndReportsTheFinalStatus)
{
    m_server.route("/old", LoopbackHTTPServer::redirect(m_server.url("/moved")));
    m_server.route("/moved", LoopbackHTTPServer::redirect("/new", 301));
    m_server.route("/new", LoopbackHTTPServer::ok("here"));
    auto connection = start("/old");
    ASSERT_TRUE(pumpUntilFinished(*connection));
    EXPECT_EQ(m_delegate.body, "here");
    EXPECT_EQ(connection->redirectCount(), 2);
    EXPECT_EQ(connection->effectiveURL(), m_server.url("/new"));

    // An error page is a body like any other; the status tells it apart.
    RecordingConnectionDelegate other;
    auto missing = HttpTransfer::connectionWithRequest(HttpRequest(m_server.url("/nothing")), other);
    ASSERT_TRUE(pumpUntilFinished(*missing));
    EXPECT_EQ(other.finishes, 1);
    EXPECT_EQ(missing->statusCode(), 404);
}

TEST_F(HttpTransferTest, EndlessRedirectsFail)
{
    m_server.route("/loop", LoopbackHTTPServer::redirect("/loop"));
    auto connection = start("/loop");
    ASSERT_TRUE(pumpUntilFinished(*connection));
    ASSERT_TRUE(m_delegate.error);
    EXPECT_EQ(m_delegate.error->code(), HttpTransfer::kRequestErrorTooManyRedirects);
    EXPECT_EQ(m_delegate.finishes, 0);
    EXPECT_EQ(m_server.requests().size(), static_cast<size_t>(HttpTransfer::kMaximumRedirects + 1));
}

TEST_F(HttpTransferTest, AStalledServerTimesOut)
{
    m_server.route("/stall", LoopbackHTTPServer::stalled());
    auto begin = std::chrono::steady_clock::now();
    auto connection = start("/stall", 0.3);
    ASSERT_TRUE(pumpUntilFinished(*connection, 5));
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_TRUE(m_delegate.error);
    EXPECT_EQ(m_delegate.error->domain(), HttpTransfer::kRequestErrorDomain);
    EXPECT_EQ(m_delegate.error->code(), HttpTransfer::kRequestErrorTimedOut);
    EXPECT_EQ(m_delegate.error->localizedDescription(), "The request timed out.");
    EXPECT_LT(elapsed, 3.0);
}

TEST_F(HttpTransferTest, BodiesOverTheCapFailWhetherAnnouncedOrNot)
{
    LoopbackHTTPServer::Response streamed;
    streamed.streamedBytes = 4 * 1024 * 1024;
    m_server.route("/streamed", streamed);
    auto connection = start("/streamed", 10, 100 * 1024);
    ASSERT_TRUE(pumpUntilFinished(*connection));
    ASSERT_TRUE(m_delegate.error);
    EXPECT_EQ(m_delegate.error->code(), HttpTransfer::kRequestErrorTooLarge);
    EXPECT_LE(m_delegate.body.size(), 100u * 1024);

    RecordingConnectionDelegate announced;
    m_server.route("/announced", LoopbackHTTPServer::ok(std::string(200 * 1024, 'y')));
    HttpRequest request(m_server.url("/announced"));
    auto second = HttpTransfer::connectionWithRequest(request, announced, 100 * 1024);
    ASSERT_TRUE(pumpUntilFinished(*second));
    ASSERT_TRUE(announced.error);
    EXPECT_EQ(announced.error->code(), HttpTransfer::kRequestErrorTooLarge);
    EXPECT_TRUE(announced.body.empty());

    // Exactly at the cap is still fine.
    RecordingConnectionDelegate exact;
    m_server.route("/exact", LoopbackHTTPServer::ok(std::string(1000, 'z')));
    auto third = HttpTransfer::connectionWithRequest(HttpRequest(m_server.url("/exact")), exact, 1000);
    ASSERT_TRUE(pumpUntilFinished(*third));
    EXPECT_FALSE(exact.error);
    EXPECT_EQ(exact.body.size(), 1000u);
}

TEST_F(HttpTransferTest, UnreachableAndMalformedAddressesFailLater)
{
    // A port nobody listens on: bind one, then close it.
    std::string closedURL;
    {
        LoopbackHTTPServer gone;
        closedURL = gone.url("/x");
    }
    RecordingConnectionDelegate refused;
    auto connection = HttpTransfer::connectionWithRequest(HttpRequest(closedURL), refused);
    ASSERT_TRUE(pumpUntilFinished(*connection));
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), HttpTransfer::kRequestErrorCannotConnect);

    RecordingConnectionDelegate malformed;
    auto bad = HttpTransfer::connectionWithRequest(HttpRequest("ftp://127.0.0.1/feed"), malformed);
    EXPECT_FALSE(malformed.error) << "failures arrive from the loop, not from the call";
    ASSERT_TRUE(pumpUntilFinished(*bad));
    ASSERT_TRUE(malformed.error);
    EXPECT_EQ(malformed.error->code(), HttpTransfer::kRequestErrorUnsupportedUrl);
}

TEST_F(HttpTransferTest, OnlyTrustedHttpsIsSpokenAndARedirectCannotDowngradeIt)
{
    LoopbackHTTPServer cleartext(LoopbackHTTPServer::Transport::Cleartext);
    cleartext.route("/feed", LoopbackHTTPServer::ok("<rss/>"));

    RecordingConnectionDelegate plain;
    auto direct = HttpTransfer::connectionWithRequest(HttpRequest(cleartext.url("/feed")), plain);
    ASSERT_TRUE(pumpUntilFinished(*direct));
    ASSERT_TRUE(plain.error);
    EXPECT_EQ(plain.error->code(), HttpTransfer::kRequestErrorUnsupportedUrl);
    EXPECT_NE(plain.error->localizedDescription().find("Only https"), std::string::npos) << plain.error->localizedDescription();

    m_server.route("/downgrade", LoopbackHTTPServer::redirect(cleartext.url("/feed")));
    auto redirected = start("/downgrade");
    ASSERT_TRUE(pumpUntilFinished(*redirected));
    ASSERT_TRUE(m_delegate.error);
    EXPECT_EQ(m_delegate.error->code(), HttpTransfer::kRequestErrorUnsupportedUrl);
    EXPECT_EQ(m_delegate.body, "");
    EXPECT_EQ(m_server.requests().size(), 1u);
    EXPECT_TRUE(cleartext.requests().empty()) << "nothing went out in the clear";

    LoopbackHTTPServer untrusted(LoopbackHTTPServer::Transport::UntrustedTLS);
    untrusted.route("/feed", LoopbackHTTPServer::ok("<rss/>"));
    RecordingConnectionDelegate impostor;
    auto unverified = HttpTransfer::connectionWithRequest(HttpRequest(untrusted.url("/feed")), impostor);
    ASSERT_TRUE(pumpUntilFinished(*unverified));
    ASSERT_TRUE(impostor.error);
    EXPECT_EQ(impostor.error->code(), HttpTransfer::kRequestErrorTlsFailed);
    EXPECT_TRUE(untrusted.requests().empty()) << "no request reaches a server we cannot verify";
}

TEST_F(HttpTransferTest, TheAuthoritiesToTrustComeFromTheCurlVariables)
{
    test::ScopedEnvironment bundle("CURL_CA_BUNDLE", std::nullopt);
    test::ScopedEnvironment file("SSL_CERT_FILE", std::nullopt);
    EXPECT_EQ(HttpTransfer::certificateAuthoritiesFile(), std::nullopt);
    {
        test::ScopedEnvironment certFile("SSL_CERT_FILE", std::string("/tmp/b.pem"));
        EXPECT_EQ(HttpTransfer::certificateAuthoritiesFile(), "/tmp/b.pem");
        test::ScopedEnvironment curlBundle("CURL_CA_BUNDLE", std::string("/tmp/a.pem"));
        EXPECT_EQ(HttpTransfer::certificateAuthoritiesFile(), "/tmp/a.pem");
    }

    // Without them, the system's authorities decide: they do not know the
    // test server's certificate.
    m_server.route("/feed", LoopbackHTTPServer::ok("<rss/>"));
    auto connection = start("/feed");
    ASSERT_TRUE(pumpUntilFinished(*connection));
    ASSERT_TRUE(m_delegate.error);
    EXPECT_EQ(m_delegate.error->code(), HttpTransfer::kRequestErrorTlsFailed);
}

TEST_F(HttpTransferTest, CancelledOrDestroyedConnectionsStaySilent)
{
    m_server.route("/stall", LoopbackHTTPServer::stalled());
    auto connection = start("/stall");
    connection->pump(0.05);
    connection->cancel();
    connection->pump(0.05);
    EXPECT_FALSE(m_delegate.error);
    EXPECT_EQ(m_delegate.finishes, 0);

    // Destroying from inside a data callback of a direct pump is safe.
    struct Destroyer final : HttpTransferDelegate {
        std::unique_ptr<HttpTransfer> owned;
        int calls{0};
        void connectionDidReceiveData(HttpTransfer&, std::string_view) override { ++calls; owned.reset(); }
        void connectionDidFailWithError(HttpTransfer&, const RequestError&) override { ++calls; }
        void connectionDidFinishLoading(HttpTransfer&) override { ++calls; }
    } destroyer;
    m_server.route("/small", LoopbackHTTPServer::ok("abc"));
    destroyer.owned = HttpTransfer::connectionWithRequest(HttpRequest(m_server.url("/small")), destroyer);
    HttpTransfer* raw = destroyer.owned.get();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (destroyer.owned && std::chrono::steady_clock::now() < deadline)
        raw->pump(0.05);
    EXPECT_FALSE(destroyer.owned);
    EXPECT_EQ(destroyer.calls, 1);
}

// On a run loop the exchange is driven by its sockets and curl's own timer.
class URLConnectionOnRunLoopTest : public HttpTransferTest {
protected:
    sim::SimRunLoop& loop() { return m_desktop.simRunLoop(); }

    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
};

TEST_F(URLConnectionOnRunLoopTest, AWaitingExchangeWakesTheLoopOnlyForItsSocketsAndLeavesNothingBehind)
{
    m_server.route("/stall", LoopbackHTTPServer::stalled());
    auto waiting = start("/stall", 30);
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return m_server.requests().size() == 1; }));

    // The server says nothing: half a second, real and on the loop's clock,
    // passes with at most curl's own time-out checks, not a pump every few
    // milliseconds. (Real time too: curl's timers count it.)
    const uint64_t before = loop().dispatchCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    loop().advance(0.5);
    EXPECT_LE(loop().dispatchCount() - before, 2u);
    EXPECT_GE(loop().watchedFdCount(), 1u) << "the socket is watched";
    EXPECT_LE(loop().scheduledCount(), 2u) << "curl's timer and the request's time-out, nothing periodic";
    EXPECT_FALSE(m_delegate.error);

    waiting->cancel();
    EXPECT_EQ(loop().watchedFdCount(), 0u);
    EXPECT_EQ(loop().scheduledCount(), 0u);
    loop().advance(60);
    EXPECT_FALSE(m_delegate.error) << "a cancelled exchange stays silent";

    RecordingConnectionDelegate answered;
    m_server.route("/feed", LoopbackHTTPServer::ok("<rss/>"));
    auto connection = HttpTransfer::connectionWithRequest(HttpRequest(m_server.url("/feed")), answered);
    EXPECT_EQ(loop().scheduledCount(), 2u) << "curl's first timer and the time-out; nothing was sent from the call";
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return connection->isFinished() && (answered.finishes || answered.error); }));
    EXPECT_EQ(answered.finishes, 1);
    EXPECT_EQ(answered.body, "<rss/>");
    EXPECT_EQ(loop().watchedFdCount(), 0u) << "no socket is left watched after the end";
    EXPECT_EQ(loop().scheduledCount(), 0u);
}

TEST_F(URLConnectionOnRunLoopTest, TheTimeOutOnTheLoopsClockEndsAnExchangeWhoseDelegateMayDestroyIt)
{
    m_server.route("/stall", LoopbackHTTPServer::stalled());
    struct Destroyer final : HttpTransferDelegate {
        std::unique_ptr<HttpTransfer> owned;
        std::optional<RequestError> error;
        void connectionDidReceiveData(HttpTransfer&, std::string_view) override { }
        void connectionDidFailWithError(HttpTransfer&, const RequestError& e) override
        {
            error = e;
            owned.reset();
        }
        void connectionDidFinishLoading(HttpTransfer&) override { owned.reset(); }
    } destroyer;
    HttpRequest request(m_server.url("/stall"));
    request.setTimeoutInterval(30);
    destroyer.owned = HttpTransfer::connectionWithRequest(request, destroyer);
    ASSERT_TRUE(test::runUntil(m_desktop, [&] { return m_server.requests().size() == 1; }));
    // Thirty seconds on the loop's clock, in no real time: curl would not
    // have noticed yet, the loop's own deadline does.
    loop().advance(30);
    ASSERT_TRUE(destroyer.error);
    EXPECT_EQ(destroyer.error->code(), HttpTransfer::kRequestErrorTimedOut);
    EXPECT_FALSE(destroyer.owned);
    EXPECT_EQ(loop().watchedFdCount(), 0u);
    EXPECT_EQ(loop().scheduledCount(), 0u);
}

} // namespace
} // namespace velmora
