#include "shared/update/BundleInfo.h"

#include "shared/update/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velmora {
namespace {

TEST(BundleInfoTest, ReadsTheShippedInformationValues)
{
    test::ScopedEnvironment resources("VELMORA_RESOURCES", std::nullopt);
    BundleInfo agent = BundleInfo::agent();
    EXPECT_EQ(agent.objectForInfoDictionaryKey(BundleInfo::kCFBundleName), "VelmoraBG");
    EXPECT_EQ(agent.appcastURL().rfind("https://", 0), 0u);
    EXPECT_NE(agent.appcastURL().find("/velmora/download/assets/VelmoraAppcast.xml"), std::string::npos);

    BundleInfo pane = BundleInfo::pane();
    EXPECT_EQ(pane.objectForInfoDictionaryKey(BundleInfo::kCFBundleName), "Velmora");
    EXPECT_EQ(pane.objectForInfoDictionaryKey(BundleInfo::kHXFeedbackURL).rfind("https://", 0), 0u) << "reports travel encrypted";
    EXPECT_EQ(pane.appcastURL(), agent.appcastURL());
}

TEST(BundleInfoTest, ATestOrPackagerCanPointElsewhere)
{
    char pattern[] = "/tmp/velmora-info-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    std::filesystem::path directory(pattern);
    std::ofstream(directory / "Velmora-Info.plist") << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleVersion</key><string>7.0</string>
<key>VLUpdateHost</key><string>127.0.0.1:8080</string>
<key>CFBundleName</key><integer>5</integer>
</dict></plist>)";
    {
        test::ScopedEnvironment resources("VELMORA_RESOURCES", directory.string());
        EXPECT_EQ(BundleInfo::resourceDirectory(), directory.string());
        BundleInfo pane = BundleInfo::pane();
        EXPECT_EQ(pane.objectForInfoDictionaryKey(BundleInfo::kCFBundleVersion), BundleInfo::buildVersion()) << "a file's version is not ours";
        EXPECT_EQ(pane.appcastURL(), "https://127.0.0.1:8080/velmora/download/assets/VelmoraAppcast.xml");
        // Not a string: reads as absent.
        EXPECT_EQ(pane.objectForInfoDictionaryKey(BundleInfo::kCFBundleName), "");
        // No file for the agent there: every value absent but the version,
        // no address.
        BundleInfo agent = BundleInfo::agent();
        EXPECT_EQ(agent.objectForInfoDictionaryKey(BundleInfo::kCFBundleName), "");
        EXPECT_EQ(agent.objectForInfoDictionaryKey(BundleInfo::kCFBundleVersion), BundleInfo::buildVersion());
        EXPECT_EQ(agent.appcastURL(), "");
    }
    std::filesystem::remove_all(directory);
}

} // namespace
} // namespace velmora
