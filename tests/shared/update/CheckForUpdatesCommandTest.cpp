#include "shared/update/CheckForUpdatesCommand.h"

#include "platform/sim/SimAlertService.h"
#include "platform/sim/SimDesktop.h"
#include "shared/update/AppcastFeeds.h"
#include "shared/update/LoopbackHTTPServer.h"
#include "shared/update/ScopedEnvironment.h"
#include "shared/update/SimPumping.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

using test::appcastDocument;
using test::appcastItem;
using test::LoopbackHTTPServer;

class CheckForUpdatesCommandTest : public ::testing::Test {
protected:
    ProgramInfo paneInfo() const
    {
        return ProgramInfo(Value::Dictionary{{ProgramInfo::kNameKey, Value("Velmora")},
            {ProgramInfo::kVersionKey, Value("1.2")},
            {ProgramInfo::kUpdateHostKey, Value(m_server.hostAndPort())}});
    }
    void serveFeed(const std::string& items)
    {
        m_server.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::ok(appcastDocument(items)));
    }

    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
    LoopbackHTTPServer m_server;
    test::RealTimePacing m_pacing{m_desktop};
};

TEST_F(CheckForUpdatesCommandTest, UpToDate)
{
    serveFeed(appcastItem("1.2", "Sat, 07 Jun 2008 12:00:00 +0000"));
    auto result = CheckForUpdatesCommand::run(m_desktop, paneInfo(), 5);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.text, "You are up to date!\n\n1.2 is the latest version of Velmora.\n");
}

TEST_F(CheckForUpdatesCommandTest, ANewerVersionWithItsReleaseNotes)
{
    serveFeed(appcastItem("1.3", "Sat, 07 Jun 2008 12:00:00 +0000"));
    auto result = CheckForUpdatesCommand::run(m_desktop, paneInfo(), 5);
    EXPECT_EQ(result.exitCode, 10);
    EXPECT_EQ(result.text.rfind("An updated version of Velmora is available!\n\nVersion 1.3 is available. You have version 1.2.", 0), 0u)
        << result.text;
    EXPECT_NE(result.text.find("\nRelease notes: http://notes.invalid/1.3.html\n"), std::string::npos);
    EXPECT_TRUE(m_desktop.openedURLs().empty()) << "the terminal check opens nothing";
    EXPECT_TRUE(m_desktop.alerts().shown().empty()) << "nor shows an alert";
}

TEST_F(CheckForUpdatesCommandTest, Failures)
{
    auto missing = CheckForUpdatesCommand::run(m_desktop, paneInfo(), 5);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.text, "Failure checking for updates\n\nAn error occurred in retrieving update information. Please try again later.\n");

    m_server.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::stalled());
    auto begin = std::chrono::steady_clock::now();
    auto stalled = CheckForUpdatesCommand::run(m_desktop, paneInfo(), 0.3);
    EXPECT_EQ(stalled.exitCode, 1);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count(), 5.0);

    auto unconfigured = CheckForUpdatesCommand::run(m_desktop, ProgramInfo(), 5);
    EXPECT_EQ(unconfigured.exitCode, 1);
    EXPECT_FALSE(unconfigured.text.empty());
}

TEST_F(CheckForUpdatesCommandTest, AHostileFeedOrServerGetsNoFurtherThanAFailure)
{
    // Links to a local file and to a script.
    serveFeed("<item><sparkle:releaseNotesLink>file:///etc/passwd</sparkle:releaseNotesLink>"
              "<enclosure url=\"javascript:alert(1)//V_9.1.zip\"/></item>"
              "<item><sparkle:releaseNotesLink>javascript:alert(1)</sparkle:releaseNotesLink>"
              "<enclosure url=\"https://files.invalid/V_9.0.zip\"/></item>");
    auto hostile = CheckForUpdatesCommand::run(m_desktop, paneInfo(), 5);
    EXPECT_EQ(hostile.exitCode, 1) << hostile.text;
    EXPECT_EQ(hostile.text.find("Release notes:"), std::string::npos) << hostile.text;
    EXPECT_EQ(hostile.text.find("javascript:"), std::string::npos) << hostile.text;
    EXPECT_EQ(hostile.text.find("file:"), std::string::npos) << hostile.text;

    // A redirect to cleartext is not followed.
    LoopbackHTTPServer cleartext(LoopbackHTTPServer::Transport::Cleartext);
    cleartext.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::ok(appcastDocument(appcastItem("9.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    m_server.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::redirect(cleartext.url(ProgramInfo::kAppcastPath)));
    auto downgraded = CheckForUpdatesCommand::run(m_desktop, paneInfo(), 5);
    EXPECT_EQ(downgraded.exitCode, 1) << downgraded.text;
    EXPECT_NE(m_desktop.logLines().back().find("Only https"), std::string::npos) << m_desktop.logLines().back();
    EXPECT_TRUE(cleartext.requests().empty());

    // A server whose certificate nobody vouches for.
    LoopbackHTTPServer untrusted(LoopbackHTTPServer::Transport::UntrustedTLS);
    untrusted.route(ProgramInfo::kAppcastPath, LoopbackHTTPServer::ok(appcastDocument(appcastItem("9.0", "Sat, 07 Jun 2008 12:00:00 +0000"))));
    ProgramInfo impostor(Value::Dictionary{{ProgramInfo::kNameKey, Value("Velmora")}, {ProgramInfo::kVersionKey, Value("1.2")},
        {ProgramInfo::kUpdateHostKey, Value(untrusted.hostAndPort())}});
    auto unverified = CheckForUpdatesCommand::run(m_desktop, impostor, 5);
    EXPECT_EQ(unverified.exitCode, 1) << unverified.text;
    EXPECT_NE(m_desktop.logLines().back().find("secure connection"), std::string::npos) << m_desktop.logLines().back();
    EXPECT_TRUE(untrusted.requests().empty());
}

TEST_F(CheckForUpdatesCommandTest, ReadsThePanesInstalledValues)
{
    serveFeed(appcastItem("9.0", "Sat, 07 Jun 2008 12:00:00 +0000"));
    test::TemporaryDirectory directory;
    std::ofstream(directory.file("Velmora-Info.plist")) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>CFBundleName</key><string>Velmora</string><key>CFBundleVersion</key><string>8.5</string>"
        "<key>VLUpdateHost</key><string>" + m_server.hostAndPort() + "</string></dict></plist>\n";
    test::ScopedEnvironment resources("VELMORA_RESOURCES", directory.path());
    auto result = CheckForUpdatesCommand::run(m_desktop);
    EXPECT_EQ(result.exitCode, 10);
    // The file's version is a stale one: the build's own is reported.
    EXPECT_NE(result.text.find("You have version " + ProgramInfo::buildVersion() + "."), std::string::npos) << result.text;
}

} // namespace
} // namespace velmora
