#include "shared/update/HttpTransfer.h"

#include "platform/Gettext.h"
#include "platform/Platform.h"

#include <curl/curl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

namespace velmora {

namespace {

struct CurlEasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct CurlMultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct CurlHeadersDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiDeleter>;
using CurlHeaders = std::unique_ptr<curl_slist, CurlHeadersDeleter>;

long milliseconds(double seconds)
{
    if (!(seconds > 0))
        return 1;
    return static_cast<long>(std::min(std::ceil(seconds * 1000.0), 24.0 * 3600 * 1000));
}

} // namespace

// static
std::optional<std::string> HttpTransfer::certificateAuthoritiesFile()
{
    // The curl command's own variables, in its order.
    for (const char* name : {"CURL_CA_BUNDLE", "SSL_CERT_FILE"}) {
        if (const char* path = std::getenv(name); path && *path)
            return std::string(path);
    }
    return std::nullopt;
}

struct HttpTransfer::Transfer {
    // Declaration order is teardown order in reverse: the easy handle leaves
    // the multi handle (in ~HttpTransfer) before either is cleaned up, and
    // the headers and body outlive the easy handle that points at them.
    std::string body;
    CurlHeaders headers;
    CurlMulti multi;
    CurlEasy easy;
    bool attached{false};

    std::string pending;        // arrived since the last delivery
    size_t received{0};
    size_t maximumBodySize{0};
    bool exceededMaximum{false};
    char errorBuffer[CURL_ERROR_SIZE]{};

    static size_t write(char* data, size_t size, size_t count, void* context)
    {
        auto* self = static_cast<Transfer*>(context);
        size_t bytes = size * count;
        if (bytes > self->maximumBodySize - self->received) {
            self->exceededMaximum = true;
            return 0; // a short count makes curl end the exchange with CURLE_WRITE_ERROR
        }
        self->received += bytes;
        self->pending.append(data, bytes);
        return bytes;
    }

    void detach()
    {
        if (attached) {
            curl_multi_remove_handle(multi.get(), easy.get());
            attached = false;
        }
    }
};

namespace {

RequestError errorFor(CURLcode code, bool exceededMaximum, const char* curlMessage);

} // namespace

// static
std::unique_ptr<HttpTransfer> HttpTransfer::connectionWithRequest(const HttpRequest& request, HttpTransferDelegate& delegate,
    size_t maximumBodySize)
{
    return std::unique_ptr<HttpTransfer>(new HttpTransfer(request, delegate, maximumBodySize));
}

HttpTransfer::HttpTransfer(const HttpRequest& request, HttpTransferDelegate& delegate, size_t maximumBodySize)
    : m_delegate(delegate)
    , m_transfer(std::make_unique<Transfer>())
{
    Transfer& t = *m_transfer;
    t.maximumBodySize = maximumBodySize;
    t.body = request.HTTPBody();
    t.multi.reset(curl_multi_init());
    t.easy.reset(curl_easy_init());
    CURL* easy = t.easy.get();

    curl_slist* list = nullptr;
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
        std::string line = name + ": " + value;
        list = curl_slist_append(list, line.c_str());
    }
    // A large body would otherwise wait a second for "100 Continue".
    list = curl_slist_append(list, "Expect:");
    t.headers.reset(list);

    curl_easy_setopt(easy, CURLOPT_URL, request.url().c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Feed and feedback travel encrypted, redirects included: a redirect to
    // http ends the exchange instead of downgrading it.
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (std::optional<std::string> authorities = certificateAuthoritiesFile())
        curl_easy_setopt(easy, CURLOPT_CAINFO, authorities->c_str());
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaximumRedirects);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, milliseconds(request.timeoutInterval()));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(request.timeoutInterval()));
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t.headers.get());
    // Compressed bodies are welcome; the cap counts the bytes after decoding.
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maximumBodySize));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorBuffer);

    const std::string& method = request.HTTPMethod();
    if (method == "POST" || !t.body.empty()) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, t.body.data());
    }
    if (method != "GET" && method != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());

    if (Platform::isInstalled()) {
        // On a loop, curl tells us which sockets to watch and when to wake
        // it; it must then never be driven by curl_multi_perform.
        m_runLoop = &Platform::current().runLoop();
        curl_multi_setopt(t.multi.get(), CURLMOPT_SOCKETFUNCTION, &HttpTransfer::onCurlSocket);
        curl_multi_setopt(t.multi.get(), CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(t.multi.get(), CURLMOPT_TIMERFUNCTION, &HttpTransfer::onCurlTimer);
        curl_multi_setopt(t.multi.get(), CURLMOPT_TIMERDATA, this);
        // curl's own limit counts real time only; this one keeps the loop's
        // time, by which everything else the program waits for is scheduled.
        if (request.timeoutInterval() > 0)
            m_deadline = m_runLoop->performAfterDelay(request.timeoutInterval(), [this] { finishFromRunLoop(CURLE_OPERATION_TIMEDOUT); });
    }
    // On a loop this asks for curl's first timer, which starts the exchange
    // from the loop, not from this call.
    curl_multi_add_handle(t.multi.get(), easy);
    t.attached = true;
}

HttpTransfer::~HttpTransfer()
{
    if (m_destroyedDuringDelivery)
        *m_destroyedDuringDelivery = true;
    cancel();
    // Cleaning the multi handle up may still call onCurlSocket: while the
    // socket table is there to hear it.
    m_transfer.reset();
    m_sockets.clear();
}

void HttpTransfer::cancel()
{
    m_finished = true;
    m_curlTimer.cancel();
    m_deadline.cancel();
    m_lastWord.cancel();
    if (m_transfer)
        m_transfer->detach();
    m_sockets.clear();
}

void HttpTransfer::pump(double waitSeconds)
{
    if (m_runLoop || m_finished)
        return;
    Transfer& t = *m_transfer;
    if (waitSeconds > 0)
        curl_multi_poll(t.multi.get(), nullptr, 0, static_cast<int>(milliseconds(waitSeconds)), nullptr);
    int running = 0;
    curl_multi_perform(t.multi.get(), &running);
    if (auto outcome = collectAndDeliverData())
        finish(*outcome);
}

// static
int HttpTransfer::onCurlSocket(void*, int socket, int what, void* data, void*)
{
    auto* self = static_cast<HttpTransfer*>(data);
    if (what == CURL_POLL_REMOVE || self->m_finished) {
        self->m_sockets.erase(socket);
        return 0;
    }
    FdEvents interest;
    interest.readable = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    interest.writable = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    // Replacing the watch from inside its own callback is safe: the loop
    // runs a copy of the callback.
    self->m_sockets[socket] = self->m_runLoop->watchFd(socket, interest, [self, socket](FdEvents ready) {
        int readiness = 0;
        if (ready.readable)
            readiness |= CURL_CSELECT_IN;
        if (ready.writable)
            readiness |= CURL_CSELECT_OUT;
        if (ready.failed)
            readiness |= CURL_CSELECT_ERR;
        self->act(socket, readiness);
    });
    return 0;
}

// static
int HttpTransfer::onCurlTimer(void*, long timeoutMilliseconds, void* data)
{
    auto* self = static_cast<HttpTransfer*>(data);
    if (timeoutMilliseconds < 0 || self->m_finished) {
        self->m_curlTimer.cancel();
        return 0;
    }
    // curl must not be called back from here: the timer runs from the loop.
    self->m_curlTimer = self->m_runLoop->performAfterDelay(static_cast<double>(timeoutMilliseconds) / 1000.0,
        [self] { self->act(CURL_SOCKET_TIMEOUT, 0); });
    return 0;
}

void HttpTransfer::act(int socket, int readiness)
{
    if (m_finished)
        return;
    int running = 0;
    curl_multi_socket_action(m_transfer->multi.get(), socket, readiness, &running);
    if (auto outcome = collectAndDeliverData())
        finishFromRunLoop(*outcome);
}

void HttpTransfer::finishFromRunLoop(int curlResult)
{
    if (m_finished)
        return;
    // The last word is said from a pass of its own, outside curl's and the
    // loop's callbacks: the delegate may then destroy us. Nothing of curl's
    // is watched meanwhile.
    m_finished = true;
    m_curlTimer.cancel();
    m_deadline.cancel();
    m_sockets.clear();
    m_lastWord = m_runLoop->performAfterDelay(0, [this, curlResult] { finish(curlResult); });
}

std::optional<int> HttpTransfer::collectAndDeliverData()
{
    Transfer& t = *m_transfer;
    // Collect the outcome before calling anyone: a delegate may cancel.
    std::optional<int> outcome;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(t.multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == t.easy.get())
            outcome = message->data.result;
    }

    if (!t.pending.empty()) {
        std::string chunk = std::exchange(t.pending, {});
        bool destroyed = false;
        m_destroyedDuringDelivery = &destroyed;
        m_delegate.connectionDidReceiveData(*this, chunk);
        if (destroyed)
            return std::nullopt;
        m_destroyedDuringDelivery = nullptr;
        if (m_finished)
            return std::nullopt;
    }
    return outcome;
}

void HttpTransfer::finish(int curlResult)
{
    Transfer& t = *m_transfer;
    curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &m_statusCode);
    curl_easy_getinfo(t.easy.get(), CURLINFO_REDIRECT_COUNT, &m_redirectCount);
    char* effective = nullptr;
    if (curl_easy_getinfo(t.easy.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        m_effectiveURL = effective;

    m_finished = true;
    m_curlTimer.cancel();
    m_deadline.cancel();
    t.detach();
    m_sockets.clear();

    auto code = static_cast<CURLcode>(curlResult);
    if (code == CURLE_OK)
        m_delegate.connectionDidFinishLoading(*this);
    else
        m_delegate.connectionDidFailWithError(*this, errorFor(code, t.exceededMaximum, t.errorBuffer));
}

namespace {

RequestError errorFor(CURLcode code, bool exceededMaximum, const char* curlMessage)
{
    long nsCode = HttpTransfer::kRequestErrorUnknown;
    std::string description;
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        nsCode = HttpTransfer::kRequestErrorTimedOut;
        description = _("The request timed out.");
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        nsCode = HttpTransfer::kRequestErrorCannotFindHost;
        description = _("A server with the specified hostname could not be found.");
        break;
    case CURLE_COULDNT_CONNECT:
        nsCode = HttpTransfer::kRequestErrorCannotConnect;
        description = _("Could not connect to the server.");
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        nsCode = HttpTransfer::kRequestErrorTooManyRedirects;
        description = _("Too many HTTP redirects.");
        break;
    case CURLE_URL_MALFORMAT:
        nsCode = HttpTransfer::kRequestErrorBadUrl;
        description = _("The address is not a valid URL.");
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        nsCode = HttpTransfer::kRequestErrorUnsupportedUrl;
        description = _("Only https addresses are supported; an http address or a redirect to one is refused.");
        break;
    case CURLE_FILESIZE_EXCEEDED:
        nsCode = HttpTransfer::kRequestErrorTooLarge;
        description = _("The response is larger than allowed.");
        break;
    case CURLE_WRITE_ERROR:
        if (exceededMaximum) {
            nsCode = HttpTransfer::kRequestErrorTooLarge;
            description = _("The response is larger than allowed.");
        }
        break;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        nsCode = HttpTransfer::kRequestErrorConnectionLost;
        description = _("The network connection was lost.");
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        nsCode = HttpTransfer::kRequestErrorTlsFailed;
        description = _("A secure connection to the server could not be made.");
        break;
    default:
        break;
    }
    if (description.empty()) {
        description = curlMessage[0] ? curlMessage : curl_easy_strerror(code);
        if (!description.empty() && description.back() == '\n')
            description.pop_back();
    }
    return RequestError(HttpTransfer::kRequestErrorDomain, nsCode, description);
}

} // namespace

} // namespace velmora
