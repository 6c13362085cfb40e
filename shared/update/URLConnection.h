#pragma once

#include "shared/update/URLConnectionDelegate.h"
#include "shared/update/URLRequest.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

class Timer;

// One HTTP exchange run from the run loop: loading never blocks the caller.
// While the exchange lasts, a run-loop timer moves it on every kPumpInterval
// seconds; between pumps nothing happens and no thread is used.
//
// Only https is spoken, with the server's certificate and name checked;
// redirects (to https only, at most kMaximumRedirects) are followed. An http
// address, or a redirect to one, fails with kNSURLErrorUnsupportedURL; a
// certificate that does not check out, with kNSURLErrorSecureConnectionFailed.
// The HTTP status is not judged here: an error page is a body like any other
// (statusCode() tells the caller). The body is capped: once more than
// `maximumBodySize` bytes would arrive, the exchange fails with
// NSURLErrorDomain code kNSURLErrorDataLengthExceedsMaximum.
//
// On a run loop, the request's time-out is kept on the loop's clock as well
// as curl's and ends the exchange with kNSURLErrorTimedOut. From the run
// loop, the last callback (failure or completion) comes at the end of a
// pass, so the delegate may destroy the connection there; it must not
// destroy it from a data callback. Under direct pump() calls any callback
// may destroy it.
class URLConnection {
public:
    static constexpr double kPumpInterval = 0.01;
    static constexpr long kMaximumRedirects = 10;
    static constexpr size_t kDefaultMaximumBodySize = 16 * 1024 * 1024;

    static constexpr const char* kNSURLErrorDomain = "NSURLErrorDomain";
    static constexpr long kNSURLErrorUnknown = -1;
    static constexpr long kNSURLErrorBadURL = -1000;
    static constexpr long kNSURLErrorTimedOut = -1001;
    static constexpr long kNSURLErrorUnsupportedURL = -1002;
    static constexpr long kNSURLErrorCannotFindHost = -1003;
    static constexpr long kNSURLErrorCannotConnectToHost = -1004;
    static constexpr long kNSURLErrorNetworkConnectionLost = -1005;
    static constexpr long kNSURLErrorHTTPTooManyRedirects = -1007;
    static constexpr long kNSURLErrorSecureConnectionFailed = -1200;
    static constexpr long kNSURLErrorDataLengthExceedsMaximum = -1103;

    // Starts loading at once and returns at once. `delegate` (not owned) must
    // outlive the connection. Every outcome, a malformed address included,
    // reaches the delegate later, from the run loop, never from this call.
    static std::unique_ptr<URLConnection> connectionWithRequest(const URLRequest& request, URLConnectionDelegate& delegate,
        size_t maximumBodySize = kDefaultMaximumBodySize);

    // The file of certificate authorities to trust instead of the system's:
    // $CURL_CA_BUNDLE, else $SSL_CERT_FILE, as the curl command reads them
    // (a private server, or a test's own authority); nothing when neither is set.
    static std::optional<std::string> certificateAuthoritiesFile();

    // Cancels a running exchange silently.
    ~URLConnection();
    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;

    // Stops the exchange; the delegate hears nothing more.
    void cancel();
    bool isFinished() const { return m_finished; }

    // The final response's HTTP status, after redirects; 0 before an answer.
    long statusCode() const { return m_statusCode; }
    // The address finally answered, after redirects.
    const std::string& effectiveURL() const { return m_effectiveURL; }
    long redirectCount() const { return m_redirectCount; }

    // Moves the exchange on: waits up to `waitSeconds` for network activity,
    // then delivers what arrived. The run-loop timer calls it with 0; a test
    // without a running loop may call it directly.
    void pump(double waitSeconds = 0);

private:
    struct Transfer;
    URLConnection(const URLRequest& request, URLConnectionDelegate& delegate, size_t maximumBodySize);
    void pumpFromRunLoop();
    // Ends the exchange with `curlResult`, told from the end of the pass.
    void finishFromRunLoop(int curlResult);
    // The exchange's curl result once it ended; data is delivered on the way.
    std::optional<int> transferAndDeliverData(double waitSeconds);
    void finish(int curlResult);

    URLConnectionDelegate& m_delegate;
    std::unique_ptr<Transfer> m_transfer;
    std::unique_ptr<Timer> m_timer;
    std::unique_ptr<Timer> m_deadline; // the request's time-out, on the loop's clock
    std::shared_ptr<bool> m_alive{std::make_shared<bool>(true)};
    bool m_finished{false};
    long m_statusCode{0};
    long m_redirectCount{0};
    std::string m_effectiveURL;
};

} // namespace velmora
