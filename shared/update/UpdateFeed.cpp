#include "shared/update/UpdateFeed.h"

#include "platform/Gettext.h"
#include "platform/Platform.h"
#include "shared/update/PreferredLanguages.h"

#include <curl/curl.h>
#include <glib.h>

#include <algorithm>
#include <map>

namespace velmora {

namespace {

constexpr const char* kParseFailureText = N_("An error occurred while parsing the update feed.");
constexpr const char* kRetrievalFailureText = N_("An error occurred in retrieving update information. Please try again later.");
constexpr long kRequestErrorBadResponse = -1011;

bool isWhitespaceOrNewline(gunichar c)
{
    // U+0085 (next line) counts as a line break, as U+2028/2029 do.
    return g_unichar_isspace(c) || c == 0x85;
}

std::string trimmed(const std::string& text)
{
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    while (begin < end) {
        gunichar c = g_utf8_get_char_validated(begin, end - begin);
        if (c >= 0x110000 || !isWhitespaceOrNewline(c))
            break;
        begin = g_utf8_next_char(begin);
    }
    while (end > begin) {
        const char* previous = g_utf8_find_prev_char(begin, end);
        if (!previous)
            previous = begin;
        gunichar c = g_utf8_get_char_validated(previous, end - previous);
        if (c >= 0x110000 || !isWhitespaceOrNewline(c))
            break;
        end = previous;
    }
    return std::string(begin, end);
}

// All descendant text joined, walked without recursion: a hostile feed may
// nest elements deeper than the stack would allow.
std::string textContent(const pugi::xml_node& node)
{
    std::string text;
    pugi::xml_node current = node.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata)
            text += current.value();
        if (current.first_child()) {
            current = current.first_child();
            continue;
        }
        while (current && !current.next_sibling() && current != node)
            current = current.parent();
        if (!current || current == node)
            break;
        current = current.next_sibling();
    }
    return text;
}

std::optional<std::time_t> parseDate(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    std::time_t time = curl_getdate(text.c_str(), nullptr);
    if (time == -1)
        return std::nullopt;
    return time;
}

} // namespace

UpdateFeed::UpdateFeed() = default;

UpdateFeed::~UpdateFeed() = default;

void UpdateFeed::fetchAppcastFromURL(const std::string& url)
{
    HttpRequest request(url);
    request.setTimeoutInterval(m_timeoutInterval);
    // curl keeps no cache, so every fetch reloads from the server.
    if (m_userAgentString)
        request.setValueForHTTPHeaderField(*m_userAgentString, "User-Agent");
    m_incrementalData.clear();
    m_connection = HttpTransfer::connectionWithRequest(request, *this, m_maximumFeedSize);
}

void UpdateFeed::connectionDidReceiveData(HttpTransfer&, std::string_view data)
{
    m_incrementalData.append(data);
}

void UpdateFeed::connectionDidFailWithError(HttpTransfer&, const RequestError& error)
{
    m_connection.reset();
    m_incrementalData.clear();
    reportError(error);
}

void UpdateFeed::connectionDidFinishLoading(HttpTransfer& connection)
{
    const long status = connection.statusCode();
    m_connection.reset();
    std::string data = std::exchange(m_incrementalData, {});

    // An error page is no feed, even when it happens to be well-formed XML:
    // parsing it would report success and keep the last fetch's items.
    if (status >= 400) {
        reportError(RequestError(HttpTransfer::kRequestErrorDomain, kRequestErrorBadResponse,
            i18n::format(_("The server answered with HTTP status %ld."), status)));
        return;
    }

    std::vector<std::string> languages = m_preferredLanguages ? *m_preferredLanguages : PreferredLanguages::fromEnvironment();
    std::optional<Items> parsed = parseItems(data, languages, [](const std::string& line) { logMessage(line); });
    if (!parsed) {
        reportError(RequestError(kUpdateFeedErrorDomain, UpdateFeedParseError, _(kParseFailureText)));
        return;
    }
    if (!parsed->empty()) {
        sortByDate(*parsed);
        m_items = std::move(*parsed);
    }
    if (m_delegate)
        m_delegate->appcastDidFinishLoading(*this);
}

void UpdateFeed::reportError(const RequestError& underlying)
{
    if (!m_delegate)
        return;
    m_delegate->appcastFailedToLoadWithError(*this,
        RequestError(kUpdateFeedErrorDomain, UpdateFeedError, _(kRetrievalFailureText), underlying.localizedDescription()));
}

// static
std::optional<UpdateFeed::Items> UpdateFeed::parseItems(std::string_view data, const std::vector<std::string>& preferredLanguages,
    const std::function<void(const std::string&)>& log)
{
    pugi::xml_document document;
    if (!document.load_buffer(data.data(), data.size(), pugi::parse_default))
        return std::nullopt;

    pugi::xpath_node_set itemNodes;
    try {
        itemNodes = document.select_nodes("/rss/channel/item");
    } catch (const std::exception&) {
        return std::nullopt;
    }

    Items items;
    for (const pugi::xpath_node& itemNode : itemNodes) {
        // Same-named children grouped in document order, by qualified name.
        std::map<std::string, std::vector<pugi::xml_node>> nodesByName;
        for (pugi::xml_node child = itemNode.node().first_child(); child; child = child.next_sibling()) {
            if (child.type() == pugi::node_element)
                nodesByName[child.name()].push_back(child);
        }

        Value::Dictionary dictionary;
        for (const auto& [name, nodes] : nodesByName) {
            pugi::xml_node node = bestNodeInNodes(nodes, preferredLanguages);
            if (name == "enclosure") {
                Value::Dictionary attributes;
                for (const pugi::xml_attribute& attribute : node.attributes())
                    attributes[attribute.name()] = std::string(attribute.value());
                dictionary[name] = std::move(attributes);
            } else if (name == "pubDate") {
                if (auto date = parseDate(trimmed(textContent(node))))
                    dictionary[name] = static_cast<int64_t>(*date);
            } else {
                dictionary[name] = trimmed(textContent(node));
            }
        }

        if (auto item = UpdateFeedItem::initWithDictionary(dictionary))
            items.push_back(std::move(item));
        else
            log("Sparkle Updater: Failed to parse appcast item with appcast dictionary " + Value(dictionary).description() + "!");
    }
    return items;
}

// static
void UpdateFeed::sortByDate(Items& items)
{
    // A stable sort never reads outside the range, whatever the comparator.
    std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
        if (!a->date() || !b->date())
            return a->date().has_value() && !b->date().has_value();
        return *a->date() > *b->date();
    });
}

// static
pugi::xml_node UpdateFeed::bestNodeInNodes(const std::vector<pugi::xml_node>& nodes, const std::vector<std::string>& preferredLanguages)
{
    if (nodes.empty())
        return {};
    if (nodes.size() == 1)
        return nodes.front();

    std::vector<std::string> languages;
    for (const auto& node : nodes)
        languages.emplace_back(node.attribute("xml:lang").value());

    if (auto best = PreferredLanguages::bestMatch(languages, preferredLanguages)) {
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (languages[i] == *best)
                return nodes[i];
        }
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (languages[i].empty())
            return nodes[i];
    }
    return nodes.front();
}

} // namespace velmora
