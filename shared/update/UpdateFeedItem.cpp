#include "shared/update/UpdateFeedItem.h"

#include "shared/update/HttpRequest.h"

#include <curl/curl.h>

#include <cstring>

namespace velmora {

namespace {

struct CurlURLDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

const std::string* stringIn(const Value::Dictionary& dictionary, const std::string& key)
{
    return valueForKey(dictionary, key).string();
}

std::string textIn(const Value::Dictionary& dictionary, const std::string& key)
{
    const std::string* text = stringIn(dictionary, key);
    return text ? *text : std::string();
}

} // namespace

// static
std::unique_ptr<UpdateFeedItem> UpdateFeedItem::initWithDictionary(const Value::Dictionary& dictionary)
{
    const Value::Dictionary* enclosure = valueForKey(dictionary, "enclosure").dictionary();
    const std::string* url = enclosure ? stringIn(*enclosure, "url") : nullptr;
    if (!url)
        return nullptr;

    std::optional<std::string> version;
    if (const std::string* given = stringIn(*enclosure, "sparkle:version")) {
        version = *given;
    } else {
        size_t lastUnderscore = url->rfind('_');
        if (lastUnderscore != std::string::npos)
            version = deletingPathExtension(url->substr(lastUnderscore + 1));
    }
    if (!version)
        return nullptr;

    std::unique_ptr<UpdateFeedItem> item(new UpdateFeedItem);
    item->m_propertiesDictionary = dictionary;
    item->m_title = textIn(dictionary, "title");
    const Value& date = valueForKey(dictionary, "pubDate");
    if (date.type() == Value::Type::Integer)
        item->m_date = static_cast<std::time_t>(date.integerValue());
    item->m_itemDescription = textIn(dictionary, "description");
    item->m_fileURL = webURLWithString(addingPercentEscapes(*url));
    item->m_DSASignature = textIn(*enclosure, "sparkle:dsaSignature");
    item->m_versionString = *version;
    item->m_minimumSystemVersion = textIn(dictionary, "sparkle:minimumSystemVersion");
    const std::string* shortVersion = stringIn(*enclosure, "sparkle:shortVersionString");
    item->m_displayVersionString = shortVersion ? *shortVersion : *version;

    if (const std::string* link = stringIn(dictionary, "sparkle:releaseNotesLink"))
        item->m_releaseNotesURL = webURLWithString(*link);
    else if (item->m_itemDescription.rfind("http://", 0) == 0)
        item->m_releaseNotesURL = webURLWithString(item->m_itemDescription);
    return item;
}

// static
std::string UpdateFeedItem::URLWithString(const std::string& text)
{
    if (text.empty() || text.find('\0') != std::string::npos)
        return {};
    std::unique_ptr<CURLU, CurlURLDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return {};
    // Addresses must be written as they can travel: no blanks or raw bytes.
    for (unsigned char c : text) {
        if (c <= 0x20 || c >= 0x7f)
            return {};
    }
    return text;
}

// static
bool UpdateFeedItem::isWebURL(const std::string& url)
{
    std::string scheme = HttpRequest::schemeOfURL(url);
    return scheme == "http" || scheme == "https";
}

// static
std::string UpdateFeedItem::webURLWithString(const std::string& text)
{
    std::string url = URLWithString(text);
    return isWebURL(url) ? url : std::string();
}

// static
std::string UpdateFeedItem::addingPercentEscapes(const std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c <= 0x20 || c >= 0x7f || std::strchr("\"%<>\\^`{|}", c)) {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xf]);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// static
std::string UpdateFeedItem::deletingPathExtension(const std::string& path)
{
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    size_t slash = trimmed.rfind('/');
    size_t componentStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = trimmed.rfind('.');
    // A leading dot names a hidden file, not an extension.
    if (dot == std::string::npos || dot <= componentStart || dot + 1 == trimmed.size())
        return trimmed;
    return trimmed.substr(0, dot);
}

} // namespace velmora
