#pragma once

#include "shared/update/ScopedEnvironment.h"

#include <map>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velmora::test {

// A small HTTP/1.1 server on 127.0.0.1 (a free port) for tests: it answers
// each path with a canned response and records every request it received.
// It runs on its own thread from construction to destruction; every wait in
// it is bounded, so a test can neither hang on it nor leave it behind.
//
// It speaks https (GIO's TLS) with a certificate for 127.0.0.1 made for the
// test run by `openssl req -x509`. A trusted server names that certificate in
// $CURL_CA_BUNDLE while it lives, so the code under test trusts it as it
// would trust a real authority; an untrusted one has a certificate of its own
// that nothing trusts. A cleartext server speaks plain http.
class LoopbackHTTPServer {
public:
    enum class Transport { TrustedTLS, UntrustedTLS, Cleartext };

    struct Response {
        int status{200};
        std::string reason{"OK"};
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        // Keep the connection open and never answer (until the server stops).
        bool stall{false};
        // Instead of `body`: this many bytes, streamed without a length.
        size_t streamedBytes{0};
    };
    struct Request {
        std::string method;
        std::string path;
        std::map<std::string, std::string> headers; // names in lower case
        std::string body;
    };

    explicit LoopbackHTTPServer(Transport transport = Transport::TrustedTLS);
    ~LoopbackHTTPServer();
    LoopbackHTTPServer(const LoopbackHTTPServer&) = delete;
    LoopbackHTTPServer& operator=(const LoopbackHTTPServer&) = delete;

    // Unknown paths get 404 with a small HTML page.
    void route(const std::string& path, Response response);
    // "https://127.0.0.1:<port><path>" ("http://" for a cleartext server)
    std::string url(const std::string& path) const;
    // "127.0.0.1:<port>"
    std::string hostAndPort() const;
    std::vector<Request> requests() const;

    static Response ok(std::string body, std::string contentType = "application/rss+xml");
    static Response redirect(const std::string& location, int status = 302);
    static Response stalled()
    {
        Response response;
        response.stall = true;
        return response;
    }

private:
    struct Client;
    struct ObjectUnref {
        void operator()(void* object) const;
    };
    void serve();
    void handle(void* connection); // takes the accepted GSocketConnection

    Transport m_transport;
    // GIO objects, kept out of this header: the listening socket, the
    // cancellable that ends every wait when the server stops, and the
    // GTlsCertificate (null for cleartext).
    std::unique_ptr<void, ObjectUnref> m_listener;
    std::unique_ptr<void, ObjectUnref> m_cancellable;
    std::unique_ptr<void, ObjectUnref> m_certificate;
    std::optional<ScopedEnvironment> m_trust;
    int m_port{0};
    mutable std::mutex m_mutex; // routes and requests: the test thread reads what the server writes
    std::map<std::string, Response> m_routes;
    std::vector<Request> m_requests;
    std::vector<std::unique_ptr<Client>> m_stalled;
    std::thread m_thread;
};

} // namespace velmora::test
