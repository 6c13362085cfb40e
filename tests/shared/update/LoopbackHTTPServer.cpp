#include "LoopbackHTTPServer.h"

#include "support/TemporaryDirectory.h"

#include <gio/gio.h>

#include <sstream>
#include <stdexcept>
#include <strings.h>

namespace velmora::test {

namespace {

// Every read, write and handshake of a connection gives up after this.
constexpr guint kIOTimeoutSeconds = 5;
// openssl makes a P-256 key in milliseconds; the margin is for a busy machine.
constexpr const char* kOpensslTimeout = "30";

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(g_ascii_tolower(c));
    return s;
}

// A certificate and key for 127.0.0.1, made once per test run in a private
// folder that goes with the process.
struct TestCertificate {
    explicit TestCertificate(const std::string& name)
        : certificateFile(m_folder.file(name + ".pem"))
        , keyFile(m_folder.file(name + ".key"))
    {
        const gchar* argv[] = {"timeout", kOpensslTimeout, "openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
            "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
            "subjectAltName=IP:127.0.0.1", "-keyout", keyFile.c_str(), "-out", certificateFile.c_str(), nullptr};
        int status = 0;
        if (!g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr,
                static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
                nullptr, nullptr, nullptr, &status, nullptr)
            || !g_spawn_check_wait_status(status, nullptr))
            throw std::runtime_error("loopback server: `openssl req -x509` could not make a test certificate");
    }

private:
    TemporaryDirectory m_folder; // first: the paths below lie in it

public:
    const std::string certificateFile;
    const std::string keyFile;
};

const TestCertificate& certificateFor(LoopbackHTTPServer::Transport transport)
{
    static const TestCertificate trusted("trusted");
    static const TestCertificate untrusted("untrusted");
    return transport == LoopbackHTTPServer::Transport::UntrustedTLS ? untrusted : trusted;
}

} // namespace

// One accepted connection, and the TLS session over it for an https server.
struct LoopbackHTTPServer::Client {
    GSocketConnection* connection{nullptr};
    GIOStream* stream{nullptr}; // the TLS connection, or `connection` itself
    GCancellable* cancellable{nullptr}; // the server's: stopping it ends every wait

    ~Client()
    {
        if (stream != G_IO_STREAM(connection)) {
            g_io_stream_close(stream, nullptr, nullptr);
            g_object_unref(stream);
        }
        g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
        g_object_unref(connection);
    }

    bool write(const char* data, size_t size)
    {
        return g_output_stream_write_all(g_io_stream_get_output_stream(stream), data, size, nullptr, cancellable, nullptr);
    }
};

void LoopbackHTTPServer::ObjectUnref::operator()(void* object) const
{
    g_object_unref(object);
}

LoopbackHTTPServer::LoopbackHTTPServer(Transport transport)
    : m_transport(transport)
    , m_listener(g_socket_listener_new())
    , m_cancellable(g_cancellable_new())
{
    if (m_transport != Transport::Cleartext) {
        const TestCertificate& files = certificateFor(m_transport);
        m_certificate.reset(g_tls_certificate_new_from_files(files.certificateFile.c_str(), files.keyFile.c_str(), nullptr));
        if (!m_certificate || !g_tls_backend_supports_tls(g_tls_backend_get_default()))
            throw std::runtime_error("loopback server: no TLS in GIO (is glib-networking installed?)");
        if (m_transport == Transport::TrustedTLS)
            m_trust.emplace("CURL_CA_BUNDLE", files.certificateFile);
    }

    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* anyPort = g_inet_socket_address_new(loopback, 0);
    GSocketAddress* bound = nullptr;
    const bool listening = g_socket_listener_add_address(static_cast<GSocketListener*>(m_listener.get()), anyPort,
        G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr, &bound, nullptr);
    g_object_unref(anyPort);
    g_object_unref(loopback);
    if (!listening)
        throw std::runtime_error("loopback server: cannot listen");
    m_port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
    g_object_unref(bound);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHTTPServer::~LoopbackHTTPServer()
{
    g_cancellable_cancel(static_cast<GCancellable*>(m_cancellable.get()));
    m_thread.join();
    m_stalled.clear();
    g_socket_listener_close(static_cast<GSocketListener*>(m_listener.get()));
}

void LoopbackHTTPServer::route(const std::string& path, Response response)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(response);
}

std::string LoopbackHTTPServer::url(const std::string& path) const
{
    return (m_transport == Transport::Cleartext ? "http://" : "https://") + hostAndPort() + path;
}

std::string LoopbackHTTPServer::hostAndPort() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::vector<LoopbackHTTPServer::Request> LoopbackHTTPServer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

// static
LoopbackHTTPServer::Response LoopbackHTTPServer::ok(std::string body, std::string contentType)
{
    Response response;
    response.headers.emplace_back("Content-Type", std::move(contentType));
    response.body = std::move(body);
    return response;
}

// static
LoopbackHTTPServer::Response LoopbackHTTPServer::redirect(const std::string& location, int status)
{
    Response response;
    response.status = status;
    response.reason = "Found";
    response.headers.emplace_back("Location", location);
    response.body = "moved";
    return response;
}

void LoopbackHTTPServer::serve()
{
    auto* cancellable = static_cast<GCancellable*>(m_cancellable.get());
    while (!g_cancellable_is_cancelled(cancellable)) {
        if (GSocketConnection* connection = g_socket_listener_accept(static_cast<GSocketListener*>(m_listener.get()), nullptr, cancellable, nullptr))
            handle(connection);
    }
}

void LoopbackHTTPServer::handle(void* accepted)
{
    auto client = std::make_unique<Client>();
    client->connection = static_cast<GSocketConnection*>(accepted);
    client->stream = G_IO_STREAM(client->connection);
    client->cancellable = static_cast<GCancellable*>(m_cancellable.get());
    g_socket_set_timeout(g_socket_connection_get_socket(client->connection), kIOTimeoutSeconds);
    if (m_transport != Transport::Cleartext) {
        GIOStream* tls = G_IO_STREAM(g_tls_server_connection_new(client->stream, static_cast<GTlsCertificate*>(m_certificate.get()), nullptr));
        if (!tls)
            return;
        client->stream = tls;
        // A client that does not trust us ends the handshake; nothing more to do.
        if (!g_tls_connection_handshake(G_TLS_CONNECTION(tls), client->cancellable, nullptr))
            return;
    }

    // The head line by line, then as much body as Content-Length announces.
    GDataInputStream* in = g_data_input_stream_new(g_io_stream_get_input_stream(client->stream));
    g_filter_input_stream_set_close_base_stream(G_FILTER_INPUT_STREAM(in), false);
    g_data_input_stream_set_newline_type(in, G_DATA_STREAM_NEWLINE_TYPE_CR_LF);
    auto readLine = [&](std::string& line) {
        gsize length = 0;
        gchar* read = g_data_input_stream_read_line(in, &length, client->cancellable, nullptr);
        line.assign(read ? read : "", length);
        g_free(read);
        return read != nullptr;
    };
    Request request;
    std::string line;
    const bool headRead = readLine(line);
    std::istringstream(line) >> request.method >> request.path;
    while (readLine(line) && !line.empty()) {
        size_t colon = line.find(':');
        if (colon != std::string::npos)
            request.headers[lower(line.substr(0, colon))] = line.substr(std::min(line.find_first_not_of(' ', colon + 1), line.size()));
    }
    request.body.resize(request.headers.contains("content-length") ? std::stoul(request.headers["content-length"]) : 0);
    gsize bodyRead = 0;
    g_input_stream_read_all(G_INPUT_STREAM(in), request.body.data(), request.body.size(), &bodyRead, client->cancellable, nullptr);
    request.body.resize(bodyRead);
    g_object_unref(in);
    if (!headRead)
        return;

    Response response;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        auto found = m_routes.find(request.path);
        if (found != m_routes.end()) {
            response = found->second;
        } else {
            response.status = 404;
            response.reason = "Not Found";
            response.headers.emplace_back("Content-Type", "text/html");
            response.body = "<html><body><h1>Not Found</h1></body></html>";
        }
        if (response.stall) {
            m_stalled.push_back(std::move(client));
            return;
        }
    }

    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + response.reason + "\r\n";
    bool declared = false;
    for (const auto& [name, value] : response.headers) {
        out += name + ": " + value + "\r\n";
        declared = declared || strcasecmp(name.c_str(), "Content-Length") == 0;
    }
    if (!response.streamedBytes && !declared)
        out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (!client->write(out.data(), out.size()))
        return;
    if (!response.streamedBytes) {
        client->write(response.body.data(), response.body.size());
        return;
    }
    const std::string chunk(65536, 'x');
    for (size_t sent = 0; sent < response.streamedBytes; sent += chunk.size()) {
        if (!client->write(chunk.data(), std::min(chunk.size(), response.streamedBytes - sent)))
            break;
    }
    // The client's destruction closes the TLS session, then the connection.
}

} // namespace velmora::test
