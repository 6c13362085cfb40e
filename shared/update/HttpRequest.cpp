#include "shared/update/HttpRequest.h"

#include <curl/curl.h>

#include <cctype>
#include <memory>
#include <strings.h>

namespace velmora {

namespace {

struct CurlURLDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlTextDeleter {
    void operator()(char* text) const { curl_free(text); }
};

} // namespace

// static
std::string HttpRequest::schemeOfURL(const std::string& url)
{
    if (url.find('\0') != std::string::npos)
        return {};
    std::unique_ptr<CURLU, CurlURLDeleter> parsed(curl_url());
    // Any scheme is parsed, so that the caller can tell which one it was.
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return {};
    char* scheme = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK || !scheme)
        return {};
    std::unique_ptr<char, CurlTextDeleter> owned(scheme);
    std::string lower(scheme);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

void HttpRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& field)
{
    for (auto& [name, existing] : m_headers) {
        if (strcasecmp(name.c_str(), field.c_str()) == 0) {
            existing = value;
            return;
        }
    }
    m_headers.emplace_back(field, value);
}

std::string HttpRequest::valueForHTTPHeaderField(const std::string& field) const
{
    for (const auto& [name, value] : m_headers) {
        if (strcasecmp(name.c_str(), field.c_str()) == 0)
            return value;
    }
    return {};
}

} // namespace velmora
