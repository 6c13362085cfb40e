#include "LoopbackHTTPServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora::test {

namespace {

constexpr int kIOTimeoutMs = 5000;

bool sendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, kIOTimeoutMs) <= 0)
            return false;
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

LoopbackHTTPServer::LoopbackHTTPServer()
{
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
    for (int fd : m_stalled)
        ::close(fd);
    ::close(m_listener);
    ::close(m_wakePipe[0]);
    ::close(m_wakePipe[1]);
}

void LoopbackHTTPServer::route(const std::string& path, Response response)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(response);
}

std::string LoopbackHTTPServer::url(const std::string& path) const
{
    return "http://" + hostAndPort() + path;
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

void LoopbackHTTPServer::handle(int client)
{
    // Read the head, then as much body as Content-Length announces.
    std::string data;
    size_t headEnd = std::string::npos;
    size_t contentLength = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kIOTimeoutMs);
    char buffer[16384];
    while (std::chrono::steady_clock::now() < deadline) {
        if (headEnd != std::string::npos && data.size() >= headEnd + 4 + contentLength)
            break;
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
        if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
            size_t at = lower(data.substr(0, headEnd)).find("\r\ncontent-length:");
            if (at != std::string::npos)
                contentLength = std::stoul(data.substr(at + 17));
        }
    }
    if (headEnd == std::string::npos) {
        ::close(client);
        return;
    }

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
            m_stalled.push_back(client);
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
    if (sendAll(client, out.data(), out.size())) {
        if (response.streamedBytes) {
            std::string chunk(65536, 'x');
            for (size_t sent = 0; sent < response.streamedBytes && !m_stopping; sent += chunk.size()) {
                if (!sendAll(client, chunk.data(), std::min(chunk.size(), response.streamedBytes - sent)))
                    break;
            }
        } else {
            sendAll(client, response.body.data(), response.body.size());
        }
    }
    ::shutdown(client, SHUT_WR);
    ::close(client);
}

} // namespace velmora::test
