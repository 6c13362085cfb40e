#include "shared/update/ProgramInfo.h"

#include "shared/update/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

TEST(ProgramInfoTest, ReadsTheShippedInformationValues)
{
    test::ScopedEnvironment resources("VELMORA_RESOURCES", std::nullopt);
    ProgramInfo agent = ProgramInfo::agent();
    EXPECT_EQ(agent.objectForInfoDictionaryKey(ProgramInfo::kNameKey), "VelmoraBG");
    EXPECT_EQ(agent.appcastURL().rfind("https://", 0), 0u);
    EXPECT_NE(agent.appcastURL().find("/velmora/download/assets/VelmoraAppcast.xml"), std::string::npos);

    ProgramInfo pane = ProgramInfo::pane();
    EXPECT_EQ(pane.objectForInfoDictionaryKey(ProgramInfo::kNameKey), "Velmora");
    EXPECT_EQ(pane.objectForInfoDictionaryKey(ProgramInfo::kFeedbackURLKey).rfind("https://", 0), 0u) << "reports travel encrypted";
    EXPECT_EQ(pane.appcastURL(), agent.appcastURL());
}

TEST(ProgramInfoTest, ATestOrPackagerCanPointElsewhere)
{
    test::TemporaryDirectory directory;
    std::ofstream(directory.file("Velmora-Info.plist")) << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>CFBundleVersion</key><string>7.0</string>
<key>VLUpdateHost</key><string>127.0.0.1:8080</string>
<key>CFBundleName</key><integer>5</integer>
</dict></plist>)";
    test::ScopedEnvironment resources("VELMORA_RESOURCES", directory.path());
    EXPECT_EQ(ProgramInfo::resourceDirectory(), directory.path());
    ProgramInfo pane = ProgramInfo::pane();
    EXPECT_EQ(pane.objectForInfoDictionaryKey(ProgramInfo::kVersionKey), ProgramInfo::buildVersion()) << "a file's version is not ours";
    EXPECT_EQ(pane.appcastURL(), "https://127.0.0.1:8080/velmora/download/assets/VelmoraAppcast.xml");
    // Not a string: reads as absent.
    EXPECT_EQ(pane.objectForInfoDictionaryKey(ProgramInfo::kNameKey), "");
    // No file for the agent there: every value absent but the version,
    // no address.
    ProgramInfo agent = ProgramInfo::agent();
    EXPECT_EQ(agent.objectForInfoDictionaryKey(ProgramInfo::kNameKey), "");
    EXPECT_EQ(agent.objectForInfoDictionaryKey(ProgramInfo::kVersionKey), ProgramInfo::buildVersion());
    EXPECT_EQ(agent.appcastURL(), "");
}

} // namespace
} // namespace velmora
