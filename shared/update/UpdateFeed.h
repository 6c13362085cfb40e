#pragma once

#include "shared/update/UpdateFeedDelegate.h"
#include "shared/update/UpdateFeedItem.h"
#include "shared/update/HttpTransfer.h"

#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

inline constexpr const char* kUpdateFeedErrorDomain = "kUpdateFeedErrorDomain";
enum UpdateFeedErrorCode : long {
    UpdateFeedParseError = 1000,
    SUNoUpdateError = 1001,          // reserved
    UpdateFeedError = 1002,
    SURunningFromDiskImageError = 1003, // reserved
};

// Fetches an RSS appcast over HTTP on the run loop, parses it into items
// (newest first) and tells its delegate. One fetch at a time: starting a new
// one cancels the one under way, silently.
class UpdateFeed final : private HttpTransferDelegate {
public:
    using Items = std::vector<std::shared_ptr<const UpdateFeedItem>>;

    // The whole exchange, redirects included, must end within this time.
    static constexpr double kTimeoutInterval = 30.0;
    // A feed lists a few dozen releases in some kilobytes; anything near a
    // megabyte is not an appcast, and reading on would only cost memory.
    static constexpr size_t kMaximumFeedSize = 1024 * 1024;

    UpdateFeed();
    ~UpdateFeed() override;

    // Not owned; may be null.
    void setDelegate(UpdateFeedDelegate* delegate) { m_delegate = delegate; }
    // Sent as "User-Agent" when set.
    void setUserAgentString(std::optional<std::string> userAgent) { m_userAgentString = std::move(userAgent); }
    const std::optional<std::string>& userAgentString() const { return m_userAgentString; }
    // Tests shorten these.
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }
    void setMaximumFeedSize(size_t bytes) { m_maximumFeedSize = bytes; }
    // Defaults to the environment's (PreferredLanguages::fromEnvironment()).
    void setPreferredLanguages(std::vector<std::string> languages) { m_preferredLanguages = std::move(languages); }

    // Starts a fetch and returns at once; the delegate hears the end later.
    void fetchAppcastFromURL(const std::string& url);
    bool isLoading() const { return m_connection != nullptr; }

    // The items of the last fetch that produced any, newest first (undated
    // items last); nothing before that.
    const std::optional<Items>& items() const { return m_items; }

    // The parse on its own: nothing when the data is not well-formed XML (or
    // the item query fails); else the valid items in document order. Each
    // invalid item is reported through `log`.
    static std::optional<Items> parseItems(std::string_view data, const std::vector<std::string>& preferredLanguages,
        const std::function<void(const std::string&)>& log);
    // Orders items newest first; undated ones last, in their given order.
    static void sortByDate(Items& items);
    // Chooses among same-named children by their "xml:lang".
    static pugi::xml_node bestNodeInNodes(const std::vector<pugi::xml_node>& nodes, const std::vector<std::string>& preferredLanguages);

private:
    // HttpTransferDelegate
    void connectionDidReceiveData(HttpTransfer&, std::string_view data) override;
    void connectionDidFailWithError(HttpTransfer&, const RequestError& error) override;
    void connectionDidFinishLoading(HttpTransfer&) override;

    void reportError(const RequestError& underlying);

    std::optional<Items> m_items;
    std::optional<std::string> m_userAgentString;
    UpdateFeedDelegate* m_delegate{nullptr}; // not owned
    std::string m_incrementalData;
    std::unique_ptr<HttpTransfer> m_connection;
    double m_timeoutInterval{kTimeoutInterval};
    size_t m_maximumFeedSize{kMaximumFeedSize};
    std::optional<std::vector<std::string>> m_preferredLanguages;
};

} // namespace velmora
