#pragma once

#include "platform/Value.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

// One released version as a feed lists it. Built from an item dictionary:
// child element name (qualified, as written) to its text, except "enclosure"
// (a dictionary of attribute name to value) and "pubDate" (the time as whole
// seconds since 1970 UTC, an Integer). Texts that are absent read as "".
class UpdateFeedItem {
public:
    // Nothing unless the dictionary has an enclosure with a "url" and a
    // version (its "sparkle:version", else the url's last "_" piece without
    // its file extension).
    static std::unique_ptr<UpdateFeedItem> initWithDictionary(const Value::Dictionary& dictionary);

    const std::string& title() const { return m_title; }
    void setTitle(std::string value) { m_title = std::move(value); }
    const std::optional<std::time_t>& date() const { return m_date; }
    void setDate(std::optional<std::time_t> value) { m_date = value; }
    const std::string& itemDescription() const { return m_itemDescription; }
    void setItemDescription(std::string value) { m_itemDescription = std::move(value); }
    // "" when the item names no usable release-notes address. Only http and
    // https addresses are taken from a feed: it is opened in the browser, and
    // a feed must not make us open a local file or run a script.
    const std::string& releaseNotesURL() const { return m_releaseNotesURL; }
    void setReleaseNotesURL(std::string value) { m_releaseNotesURL = std::move(value); }
    const std::string& DSASignature() const { return m_DSASignature; }
    void setDSASignature(std::string value) { m_DSASignature = std::move(value); }
    const std::string& minimumSystemVersion() const { return m_minimumSystemVersion; }
    void setMinimumSystemVersion(std::string value) { m_minimumSystemVersion = std::move(value); }
    // The enclosure's address, percent-escaped; "" when it is not an http or
    // https URL.
    const std::string& fileURL() const { return m_fileURL; }
    void setFileURL(std::string value) { m_fileURL = std::move(value); }
    const std::string& versionString() const { return m_versionString; }
    void setVersionString(std::string value) { m_versionString = std::move(value); }
    const std::string& displayVersionString() const { return m_displayVersionString; }
    void setDisplayVersionString(std::string value) { m_displayVersionString = std::move(value); }
    const Value::Dictionary& propertiesDictionary() const { return m_propertiesDictionary; }

    // An absolute address made from text, or "" when the text is not one.
    static std::string URLWithString(const std::string& text);
    // Whether the address is an absolute http or https one.
    static bool isWebURL(const std::string& url);
    // URLWithString, but "" for any scheme other than http and https.
    static std::string webURLWithString(const std::string& text);
    // Characters not allowed in an address written as %XX of their UTF-8 bytes.
    static std::string addingPercentEscapes(const std::string& text);
    // "Program_1.2.zip" -> "1.2.zip" -> "1.2": the last path component loses
    // its last ".extension".
    static std::string deletingPathExtension(const std::string& path);

private:
    UpdateFeedItem() = default;

    std::string m_title;
    std::optional<std::time_t> m_date;
    std::string m_itemDescription;
    std::string m_releaseNotesURL;
    std::string m_DSASignature;
    std::string m_minimumSystemVersion;
    std::string m_fileURL;
    std::string m_versionString;
    std::string m_displayVersionString;
    Value::Dictionary m_propertiesDictionary;
};

} // namespace velmora
