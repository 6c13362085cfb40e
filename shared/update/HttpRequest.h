#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velmora {

// What to send: an http or https address, a method, headers in order and a
// body of raw bytes. Built by the caller, copied by the connection.
class HttpRequest {
public:
    explicit HttpRequest(std::string url) : m_url(std::move(url)) { }

    const std::string& url() const { return m_url; }

    // An absolute address's scheme in lower case ("https"); "" when the text
    // is not an absolute address.
    static std::string schemeOfURL(const std::string& url);

    const std::string& HTTPMethod() const { return m_method; }
    void setHTTPMethod(std::string method) { m_method = std::move(method); }

    // Replaces an earlier value of the same header (names compare without case).
    void setValueForHTTPHeaderField(const std::string& value, const std::string& field);
    // Nothing ("") when the header is not set.
    std::string valueForHTTPHeaderField(const std::string& field) const;
    const std::vector<std::pair<std::string, std::string>>& allHTTPHeaderFields() const { return m_headers; }

    // Raw bytes, held in a string; may contain NUL.
    const std::string& HTTPBody() const { return m_body; }
    void setHTTPBody(std::string body) { m_body = std::move(body); }

    // Seconds the whole exchange may take, redirects included.
    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

private:
    std::string m_url;
    std::string m_method{"GET"};
    std::vector<std::pair<std::string, std::string>> m_headers;
    std::string m_body;
    double m_timeoutInterval{60.0};
};

} // namespace velmora
