#pragma once

#include "platform/DelayedCall.h"
#include "platform/FdWatch.h"
#include "shared/update/HttpTransferDelegate.h"
#include "shared/update/HttpRequest.h"

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
// address, or a redirect to one, fails with kRequestErrorUnsupportedUrl; a
// certificate that does not check out, with kRequestErrorTlsFailed.
// The HTTP status is not judged here: an error page is a body like any other
// (statusCode() tells the caller). The body is capped: once more than
// `maximumBodySize` bytes would arrive, the exchange fails with
// NSURLErrorDomain code kRequestErrorTooLarge.
//
// On a run loop, the request's time-out is kept on the loop's clock as well
// as curl's and ends the exchange with kRequestErrorTimedOut. From the run
// loop, the last callback (failure or completion) comes from a pass of its
// own, so the delegate may destroy the connection there; it must not
// destroy it from a data callback. Under direct pump() calls any callback
// may destroy it.
class HttpTransfer {
public:
    static constexpr long kMaximumRedirects = 10;
    static constexpr size_t kDefaultMaximumBodySize = 16 * 1024 * 1024;

    static constexpr const char* kRequestErrorDomain = "NSURLErrorDomain";
    static constexpr long kRequestErrorUnknown = -1;
    static constexpr long kRequestErrorBadUrl = -1000;
    static constexpr long kRequestErrorTimedOut = -1001;
    static constexpr long kRequestErrorUnsupportedUrl = -1002;
    static constexpr long kRequestErrorCannotFindHost = -1003;
    static constexpr long kRequestErrorCannotConnect = -1004;
    static constexpr long kRequestErrorConnectionLost = -1005;
    static constexpr long kRequestErrorTooManyRedirects = -1007;
    static constexpr long kRequestErrorTlsFailed = -1200;
    static constexpr long kRequestErrorTooLarge = -1103;

    // Starts loading at once and returns at once. `delegate` (not owned) must
    // outlive the connection. Every outcome, a malformed address included,
    // reaches the delegate later, from the run loop, never from this call.
    static std::unique_ptr<HttpTransfer> connectionWithRequest(const HttpRequest& request, HttpTransferDelegate& delegate,
        size_t maximumBodySize = kDefaultMaximumBodySize);

    // The file of certificate authorities to trust instead of the system's:
    // $CURL_CA_BUNDLE, else $SSL_CERT_FILE, as the curl command reads them
    // (a private server, or a test's own authority); nothing when neither is set.
    static std::optional<std::string> certificateAuthoritiesFile();

    // Cancels a running exchange silently.
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

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
    HttpTransfer(const HttpRequest& request, HttpTransferDelegate& delegate, size_t maximumBodySize);

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

    HttpTransferDelegate& m_delegate;
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
