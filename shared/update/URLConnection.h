#pragma once

#include "platform/DelayedCall.h"
#include "platform/FdWatch.h"
#include "shared/update/URLConnectionDelegate.h"
#include "shared/update/URLRequest.h"

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

class RunLoop;

// One HTTP exchange run from the run loop: loading never blocks the caller.
// The loop watches the exchange's sockets and the one timer curl asks for
// (its own time-outs); it wakes only when the network or that timer has
// something, and no thread is used.
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
// loop, the last callback (failure or completion) comes from a pass of its
// own, so the delegate may destroy the connection there; it must not
// destroy it from a data callback. Under direct pump() calls any callback
// may destroy it.
class URLConnection {
public:
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

    // Without a platform (and so without a run loop) only: moves the
    // exchange on, waiting up to `waitSeconds` for network activity, then
    // delivers what arrived. Does nothing for a connection on a run loop.
    void pump(double waitSeconds = 0);

private:
    struct Transfer;
    URLConnection(const URLRequest& request, URLConnectionDelegate& delegate, size_t maximumBodySize);

    // curl's callbacks (CURLMOPT_SOCKETFUNCTION, CURLMOPT_TIMERFUNCTION).
    static int onCurlSocket(void* easy, int socket, int what, void* connection, void* socketData);
    static int onCurlTimer(void* multi, long timeoutMilliseconds, void* connection);
    // Tells curl what happened (a socket ready, or its timer), then delivers.
    void act(int socket, int readiness);
    // Ends the exchange with `curlResult`, told from a later pass.
    void finishFromRunLoop(int curlResult);
    // The exchange's curl result once it ended, or nothing; data is
    // delivered on the way. Nothing either when a data callback cancelled or
    // destroyed the connection.
    std::optional<int> collectAndDeliverData();
    void finish(int curlResult);

    URLConnectionDelegate& m_delegate;
    std::unique_ptr<Transfer> m_transfer;
    RunLoop* m_runLoop{nullptr}; // not owned; null without a platform
    std::map<int, std::unique_ptr<FdWatch>> m_sockets; // curl's sockets, each with what curl waits for
    DelayedCall m_curlTimer;
    DelayedCall m_deadline; // the request's time-out, on the loop's clock
    DelayedCall m_lastWord;
    // Points into the stack frame of a delivery while it runs: the
    // destructor sets it, so a delegate may destroy us from a callback.
    bool* m_destroyedDuringDelivery{nullptr};
    bool m_finished{false};
    long m_statusCode{0};
    long m_redirectCount{0};
    std::string m_effectiveURL;
};

} // namespace velmora
