#pragma once

#include <string>

namespace velmora::test {

// Feed documents the appcast tests share.

inline std::string appcastItem(const std::string& version, const std::string& date, const std::string& extraChildren = {},
    const std::string& extraEnclosure = {})
{
    return "<item><title>Velmora " + version + "</title>"
           "<pubDate>" + date + "</pubDate>"
           "<sparkle:releaseNotesLink>http://notes.invalid/" + version + ".html</sparkle:releaseNotesLink>"
           + extraChildren +
           "<enclosure url=\"http://files.invalid/Velmora_" + version + ".dmg\" sparkle:version=\"" + version + "\" "
           + extraEnclosure + "/></item>";
}

inline std::string appcastDocument(const std::string& items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.brightfen.com/xml-namespaces/updates\">\n"
           "<channel><title>Velmora</title>\n" + items + "\n</channel></rss>\n";
}

} // namespace velmora::test
