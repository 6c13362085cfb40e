#include "LoopbackHTTPServer.h"

#include <gio/gio.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora::test {

namespace {

constexpr int kIOTimeoutMs = 5000;
constexpr unsigned kIOTimeoutSeconds = kIOTimeoutMs / 1000;
// openssl makes a P-256 key in milliseconds; the margin is for a busy machine.
constexpr const char* kOpensslTimeout = "30";

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

// A certificate and key for 127.0.0.1, made once per test run in a private
// folder that goes with the process.
class TestCertificate {
public:
    explicit TestCertificate(const std::string& name)
    {
        GError* error = nullptr;
        gchar* folder = g_dir_make_tmp("velmora-test-tls.XXXXXX", &error);
        if (!folder) {
            g_clear_error(&error);
            throw std::runtime_error("loopback server: no folder for the test certificate");
        }
        m_folder = folder;
        g_free(folder);
        certificateFile = (m_folder / (name + ".pem")).string();
        keyFile = (m_folder / (name + ".key")).string();
        const std::string keyArg = keyFile, certArg = certificateFile;
        const gchar* argv[] = {"timeout", kOpensslTimeout, "openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
            "ec_paramgen_curve:prime256v1", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
            "subjectAltName=IP:127.0.0.1", "-keyout", keyArg.c_str(), "-out", certArg.c_str(), nullptr};
        int status = 0;
        if (!g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr,
                static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL), nullptr,
                nullptr, nullptr, nullptr, &status, &error)
            || !g_spawn_check_wait_status(status, nullptr)) {
            g_clear_error(&error);
            throw std::runtime_error("loopback server: `openssl req -x509` could not make a test certificate");
        }
    }
    ~TestCertificate()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    std::string certificateFile;
    std::string keyFile;

private:
    std::filesystem::path m_folder;
};

const TestCertificate& certificateFor(LoopbackHTTPServer::Transport transport)
{
    static const TestCertificate trusted("trusted");
    static const TestCertificate untrusted("untrusted");
    return transport == LoopbackHTTPServer::Transport::UntrustedTLS ? untrusted : trusted;
}

} // namespace

// One accepted connection: the socket, and the TLS session over it.
struct LoopbackHTTPServer::Client {
    GSocket* socket{nullptr};
    GIOStream* stream{nullptr}; // the TLS connection, or the plain socket connection

    ~Client()
    {
        if (stream) {
            g_io_stream_close(stream, nullptr, nullptr);
            g_object_unref(stream);
        }
        if (socket) {
            g_socket_close(socket, nullptr);
            g_object_unref(socket);
        }
    }

    // Up to `size` bytes; 0 at the end or on an error (a time-out included).
    size_t read(char* buffer, size_t size)
    {
        gssize n = g_input_stream_read(g_io_stream_get_input_stream(stream), buffer, size, nullptr, nullptr);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
    bool write(const char* data, size_t size)
    {
        return g_output_stream_write_all(g_io_stream_get_output_stream(stream), data, size, nullptr, nullptr, nullptr);
    }
};

LoopbackHTTPServer::LoopbackHTTPServer(Transport transport)
    : m_transport(transport)
{
    if (m_transport != Transport::Cleartext) {
        const TestCertificate& files = certificateFor(m_transport);
        GError* error = nullptr;
        m_certificate.reset(g_tls_certificate_new_from_files(files.certificateFile.c_str(), files.keyFile.c_str(), &error));
        if (!m_certificate || !g_tls_backend_supports_tls(g_tls_backend_get_default())) {
            g_clear_error(&error);
            throw std::runtime_error("loopback server: no TLS in GIO (is glib-networking installed?)");
        }
        if (m_transport == Transport::TrustedTLS)
            m_trust.emplace("CURL_CA_BUNDLE", files.certificateFile);
    }

    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 16) != 0 || ::pipe(m_wakePipe) != 0)
        throw std::runtime_error("loopback server: cannot listen");
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackHTTPServer::~LoopbackHTTPServer()
{
    m_stopping = true;
    char byte = 0;
    (void)!::write(m_wakePipe[1], &byte, 1);
    m_thread.join();
    m_stalled.clear();
    ::close(m_listener);
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

void LoopbackHTTPServer::ObjectUnref::operator()(void* object) const
{
    g_object_unref(object);
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
    while (!m_stopping) {
        pollfd fds[2] = {{m_listener, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, 200) <= 0)
            continue;
        if (fds[1].revents)
            break;
        int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0)
            handle(client);
    }
}

void LoopbackHTTPServer::handle(int fd)
{
    auto client = std::make_unique<Client>();
    client->socket = g_socket_new_from_fd(fd, nullptr);
    if (!client->socket) {
        ::close(fd);
        return;
    }
    // Every read, write and the handshake give up after this.
    g_socket_set_timeout(client->socket, kIOTimeoutSeconds);
    GSocketConnection* plain = g_socket_connection_factory_create_connection(client->socket);
    if (m_transport == Transport::Cleartext) {
        client->stream = G_IO_STREAM(plain);
    } else {
        client->stream = G_IO_STREAM(g_tls_server_connection_new(G_IO_STREAM(plain), static_cast<GTlsCertificate*>(m_certificate.get()), nullptr));
        g_object_unref(plain);
        // A client that does not trust us ends the handshake; nothing more to do.
        if (!client->stream || !g_tls_connection_handshake(G_TLS_CONNECTION(client->stream), nullptr, nullptr))
            return;
    }

    // Read the head, then as much body as Content-Length announces.
    std::string data;
    size_t headEnd = std::string::npos;
    size_t contentLength = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIOTimeoutMs);
    char buffer[16384];
    while (std::chrono::steady_clock::now() < deadline) {
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + contentLength)
            break;
        size_t n = client->read(buffer, sizeof buffer);
        if (n == 0)
            break;
        data.append(buffer, n);
        if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            size_t at = lower(data.substr(0, headEnd)).find("\r\ncontent-length:");
            if (at != std::string::npos)
                contentLength = std::stoul(data.substr(at + 17));
        }
    }
    if (headEnd == std::string::npos)
        return;

    Request request;
    std::string head = data.substr(0, headEnd);
    size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    size_t space1 = requestLine.find(' ');
    size_t space2 = requestLine.find(' ', space1 + 1);
    request.method = requestLine.substr(0, space1);
    request.path = requestLine.substr(space1 + 1, space2 - space1 - 1);
    size_t at = lineEnd;
    while (at != std::string::npos && at < head.size()) {
        size_t next = head.find("\r\n", at + 2);
        std::string line = head.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
        size_t colon = line.find(':');
        if (colon != std::string::npos) {
            size_t valueStart = line.find_first_not_of(' ', colon + 1);
            request.headers[lower(line.substr(0, colon))] = valueStart == std::string::npos ? "" : line.substr(valueStart);
        }
        at = next;
    }
    request.body = data.substr(headEnd + 4, contentLength);

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
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    bool declared = false;
    for (const auto& header : response.headers)
        declared = declared || strcasecmp(header.first.c_str(), "Content-Length") == 0;
    if (!response.streamedBytes && !declared)
        out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    if (client->write(out.data(), out.size())) {
        if (response.streamedBytes) {
            std::string chunk(65536, 'x');
            for (size_t sent = 0; sent < response.streamedBytes && !m_stopping; sent += chunk.size()) {
                if (!client->write(chunk.data(), std::min(chunk.size(), response.streamedBytes - sent)))
                    break;
            }
        } else {
            client->write(response.body.data(), response.body.size());
        }
    }
    // The client's destruction closes the TLS session, then the socket.
}

} // namespace velmora::test
