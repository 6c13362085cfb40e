#include "agent/process/VelmoraControlEndpoint.h"
#include "pane/AgentController.h"
#include "pane/feedback/SystemProfile.h"
#include "platform/sim/SimDesktop.h"
#include "shared/update/ProgramInfo.h"
#include "shared/update/ScopedEnvironment.h"
#include "shared/update/TimedUpdateChecker.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace velmora {
namespace {

// Information files as an older package left them, each with a version of
// its own.
void writeStaleInformationFiles(const test::TemporaryDirectory& directory)
{
    for (const std::string bundle : {ProgramInfo::kPaneInfoName, ProgramInfo::kAgentInfoName}) {
        std::ofstream(directory.file(bundle + "-Info.plist"))
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleName</key><string>" + bundle + "</string>"
               "<key>CFBundleVersion</key><string>0.9</string>"
               "<key>CFBundleShortVersionString</key><string>0.9 (old)</string>"
               "<key>VLUpdateHost</key><string>127.0.0.1:1</string></dict></plist>\n";
    }
}

TEST(VersionAgreementTest, ThePaneTheAgentTheReportsAndTheUpdateChecksNameOneVersion)
{
    sim::SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    test::TemporaryDirectory stale;
    writeStaleInformationFiles(stale);

    for (const std::optional<std::string>& resources : {std::optional<std::string>(), std::optional<std::string>(stale.path())}) {
        SCOPED_TRACE(resources ? "stale information files" : "the shipped information files");
        test::ScopedEnvironment environment("VELMORA_RESOURCES", resources);

        AgentController pane{AgentController::Services::of(desktop)};
        VelmoraControlEndpoint agent{ControlEndpoint::Services::of(desktop)};
        TimedUpdateChecker dailyCheck{TimedUpdateChecker::Services::of(desktop)};
        const std::string version = pane.currentVersionString();
        const std::map<std::string, std::string> readers{
            {"the agent's answer to the pane", agent.versionString()},
            {"the pane's information", ProgramInfo::pane().objectForInfoDictionaryKey(ProgramInfo::kVersionKey)},
            {"the pane's shown version", ProgramInfo::pane().objectForInfoDictionaryKey(ProgramInfo::kShortVersionKey)},
            {"the agent's information", ProgramInfo::agent().objectForInfoDictionaryKey(ProgramInfo::kVersionKey)},
            {"the daily check's version", dailyCheck.checker().versionString()},
            {"the daily check's shown version", dailyCheck.checker().displayVersionString()},
            {"a feedback report's profile", SystemProfile::Snapshot::take(desktop.standardUserDefaults(), desktop.screens(), desktop.accessibility(), desktop.paneServices()).velmoraVersion},
        };
        EXPECT_FALSE(version.empty());
        for (const auto& [reader, value] : readers)
            EXPECT_EQ(value, version) << reader;
        EXPECT_EQ(pane.bundleNameWithVersionString(), "Velmora " + version);
    }
}

} // namespace
} // namespace velmora
