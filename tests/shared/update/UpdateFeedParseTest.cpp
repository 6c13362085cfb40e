#include "shared/update/UpdateFeed.h"

#include "shared/update/AppcastFeeds.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using test::appcastDocument;
using test::appcastItem;

class UpdateFeedParseTest : public ::testing::Test {
protected:
    std::optional<UpdateFeed::Items> parse(const std::string& data, std::vector<std::string> languages = {"en"})
    {
        return UpdateFeed::parseItems(data, languages, [this](const std::string& line) { m_log.push_back(line); });
    }

    std::vector<std::string> m_log;
};

TEST_F(UpdateFeedParseTest, ReadsEveryFieldOfAGoodItem)
{
    std::string feed = appcastDocument(
        "<item>\n"
        "  <title>  Velmora 1.3\n</title>\n"
        "  <description><![CDATA[ <b>New</b> things ]]></description>\n"
        "  <pubDate>Sat, 07 Jun 2008 12:00:00 +0000</pubDate>\n"
        "  <sparkle:releaseNotesLink>\n   http://notes.invalid/1.3.html \n</sparkle:releaseNotesLink>\n"
        "  <sparkle:minimumSystemVersion> 10.4.0\n</sparkle:minimumSystemVersion>\n"
        "  <custom>kept</custom>\n"
        "  <enclosure url=\"http://files.invalid/Velmora 1.3.dmg\" sparkle:version=\"130\" "
        "sparkle:shortVersionString=\" 1.3 \" sparkle:dsaSignature=\"MC0CFQ==\" length=\"123\"/>\n"
        "</item>");
    auto items = parse(feed);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    const UpdateFeedItem& item = *items->front();
    EXPECT_EQ(item.title(), "Velmora 1.3");
    EXPECT_EQ(item.itemDescription(), "<b>New</b> things");
    ASSERT_TRUE(item.date());
    EXPECT_EQ(*item.date(), 1212840000);
    EXPECT_EQ(item.releaseNotesURL(), "http://notes.invalid/1.3.html");
    EXPECT_EQ(item.minimumSystemVersion(), "10.4.0");
    EXPECT_EQ(item.versionString(), "130");
    // Attribute values are taken unchanged.
    EXPECT_EQ(item.displayVersionString(), " 1.3 ");
    EXPECT_EQ(item.DSASignature(), "MC0CFQ==");
    EXPECT_EQ(item.fileURL(), "http://files.invalid/Velmora%201.3.dmg");
    EXPECT_EQ(valueForKey(item.propertiesDictionary(), "custom"), Value("kept"));
    const Value::Dictionary* enclosure = valueForKey(item.propertiesDictionary(), "enclosure").dictionary();
    ASSERT_TRUE(enclosure);
    EXPECT_EQ(valueForKey(*enclosure, "length"), Value("123"));
    EXPECT_TRUE(m_log.empty());
}

TEST_F(UpdateFeedParseTest, DerivesMissingVersionsFromTheFileName)
{
    auto items = parse(appcastDocument(
        "<item><enclosure url=\"http://files.invalid/Program_2.1.dmg\"/></item>"
        "<item><enclosure url=\"http://files.invalid/a_b_c_3.0b2.tar.gz\"/></item>"
        "<item><title>no underscore</title><enclosure url=\"http://files.invalid/Program.dmg\"/></item>"
        "<item><title>no url</title><enclosure sparkle:version=\"1.0\"/></item>"
        "<item><title>no enclosure</title></item>"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ((*items)[0]->versionString(), "2.1");
    EXPECT_EQ((*items)[0]->displayVersionString(), "2.1");
    EXPECT_EQ((*items)[1]->versionString(), "3.0b2.tar");
    ASSERT_EQ(m_log.size(), 3u);
    EXPECT_EQ(m_log[0].rfind("Sparkle Updater: Failed to parse appcast item with appcast dictionary ", 0), 0u);
    EXPECT_NE(m_log[0].find("no underscore"), std::string::npos);
    EXPECT_EQ(m_log[0].back(), '!');
}

TEST_F(UpdateFeedParseTest, ChoosesTheBestLocalisedChild)
{
    std::string feed = appcastDocument(
        "<item><title xml:lang=\"fr\">Bonjour</title><title>Hello</title><title xml:lang=\"de\">Hallo</title>"
        "<title xml:lang=\"de\">Zweites Hallo</title>"
        "<enclosure url=\"http://f.invalid/V_1.0.zip\"/></item>");
    EXPECT_EQ(parse(feed, {"de-DE"})->front()->title(), "Hallo");
    EXPECT_EQ(parse(feed, {"fr_FR.UTF-8"})->front()->title(), "Bonjour");
    EXPECT_EQ(parse(feed, {"ja", "fr"})->front()->title(), "Bonjour");
    // Unmatched: the first child without a language.
    EXPECT_EQ(parse(feed, {"ja"})->front()->title(), "Hello");
    EXPECT_EQ(parse(feed, {})->front()->title(), "Hello");

    std::string allTagged = appcastDocument(
        "<item><title xml:lang=\"fr\">Bonjour</title><title xml:lang=\"de\">Hallo</title>"
        "<enclosure url=\"http://f.invalid/V_1.0.zip\"/></item>");
    EXPECT_EQ(parse(allTagged, {"ja"})->front()->title(), "Bonjour");
    // A single child is taken whatever its language.
    std::string single = appcastDocument("<item><title xml:lang=\"fr\">Seul</title><enclosure url=\"http://f.invalid/V_1.0.zip\"/></item>");
    EXPECT_EQ(parse(single, {"de"})->front()->title(), "Seul");
}

TEST_F(UpdateFeedParseTest, ReleaseNotesAddressFallsBackToAPlainHttpDescription)
{
    auto items = parse(appcastDocument(
        "<item><title>a</title><description> http://notes.invalid/a.html </description><enclosure url=\"http://f.invalid/V_1.zip\"/></item>"
        "<item><title>b</title><description>https://notes.invalid/b.html</description><enclosure url=\"http://f.invalid/V_2.zip\"/></item>"
        "<item><title>c</title><sparkle:releaseNotesLink>not a url</sparkle:releaseNotesLink><enclosure url=\"http://f.invalid/V_3.zip\"/></item>"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_EQ((*items)[0]->releaseNotesURL(), "http://notes.invalid/a.html");
    EXPECT_EQ((*items)[1]->releaseNotesURL(), "");
    EXPECT_EQ((*items)[2]->releaseNotesURL(), "");
}

TEST_F(UpdateFeedParseTest, OnlyWebAddressesAreTakenFromAFeed)
{
    // What a hostile feed could ask the browser (or a download) to open.
    auto items = parse(appcastDocument(
        "<item><sparkle:releaseNotesLink>file:///etc/passwd</sparkle:releaseNotesLink>"
        "<enclosure url=\"file:///etc/Velmora_1.zip\"/></item>"
        "<item><sparkle:releaseNotesLink>javascript:alert(document.cookie)</sparkle:releaseNotesLink>"
        "<enclosure url=\"javascript:alert(1)//Velmora_2.zip\"/></item>"
        "<item><sparkle:releaseNotesLink>data:text/html,&lt;script&gt;x()&lt;/script&gt;</sparkle:releaseNotesLink>"
        "<enclosure url=\"smb://host/share/Velmora_3.zip\"/></item>"
        "<item><sparkle:releaseNotesLink>HTTPS://notes.invalid/4.html</sparkle:releaseNotesLink>"
        "<enclosure url=\"https://files.invalid/Velmora_4.zip\"/></item>"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ((*items)[i]->releaseNotesURL(), "") << i;
        EXPECT_EQ((*items)[i]->fileURL(), "") << i;
    }
    EXPECT_EQ((*items)[0]->versionString(), "1") << "the item stays; only its links go";
    EXPECT_EQ((*items)[3]->releaseNotesURL(), "HTTPS://notes.invalid/4.html");
    EXPECT_EQ((*items)[3]->fileURL(), "https://files.invalid/Velmora_4.zip");

    EXPECT_TRUE(UpdateFeedItem::isWebURL("http://notes.invalid/"));
    for (const char* other : {"file:///etc/passwd", "javascript:alert(1)", "/etc/passwd", "", "ftp://files.invalid/x"})
        EXPECT_FALSE(UpdateFeedItem::isWebURL(other)) << other;
}

TEST_F(UpdateFeedParseTest, UnreadableDatesLeaveTheItemUndatedAndSortLast)
{
    auto items = parse(appcastDocument(
        appcastItem("1.0", "Mon, 02 Jan 2006 10:00:00 +0000")
        + appcastItem("9.9", "sometime soon")
        + appcastItem("1.2", "Tue, 03 Jan 2006 10:00:00 GMT")));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 3u);
    EXPECT_FALSE((*items)[1]->date());
    UpdateFeed::sortByDate(*items);
    EXPECT_EQ((*items)[0]->versionString(), "1.2");
    EXPECT_EQ((*items)[1]->versionString(), "1.0");
    EXPECT_EQ((*items)[2]->versionString(), "9.9");
}

TEST_F(UpdateFeedParseTest, MalformedAndEmptyDocuments)
{
    EXPECT_FALSE(parse(""));
    EXPECT_FALSE(parse("this is not xml"));
    EXPECT_FALSE(parse("<rss><channel><item></channel></rss>"));
    EXPECT_FALSE(parse(std::string("<rss>\0</rss>", 12)));

    auto empty = parse(appcastDocument(""));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    auto notRSS = parse("<html><body>Not Found</body></html>");
    ASSERT_TRUE(notRSS);
    EXPECT_TRUE(notRSS->empty());
    // Items of every channel are read.
    auto twoChannels = parse("<rss><channel>" + appcastItem("1", "x") + "</channel><channel>" + appcastItem("2", "x") + "</channel></rss>");
    ASSERT_TRUE(twoChannels);
    EXPECT_EQ(twoChannels->size(), 2u);
}

TEST_F(UpdateFeedParseTest, DeepNestingIsReadWithoutRecursion)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    deep += "x";
    for (int i = 0; i < 100000; ++i)
        deep += "</d>";
    auto items = parse(appcastDocument("<item><title>" + deep + "</title><enclosure url=\"http://f.invalid/V_1.zip\"/></item>"));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ(items->front()->title(), "x");
}

} // namespace
} // namespace velmora
