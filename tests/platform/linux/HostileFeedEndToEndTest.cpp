// `velmora check-for-updates`, the built program, against an update server on
// 127.0.0.1 that means harm (hostile-feed-server.py): a feed whose links name
// a local file and a script, a redirect to cleartext, and a certificate the
// program has no reason to trust.

#include "platform/linux/FeedServer.h"
#include "platform/linux/InstalledPrograms.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

class HostileFeedEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directory(m_folder / "resources");
        m_server = std::make_unique<FeedServer>(m_folder.path());
        ASSERT_TRUE(m_server->isReady());
    }

    // Runs the built command with the pane's values pointing at `updateHost`,
    // trusting only the certificates `environment` names; its output and
    // errors together in `out`.
    Outcome checkForUpdates(const std::string& updateHost, std::map<std::string, std::string> environment)
    {
        std::ofstream(m_folder / "resources" / "Velmora-Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleName</key><string>Velmora</string><key>CFBundleVersion</key><string>1.0</string>"
               "<key>VLUpdateHost</key><string>" + updateHost + "</string></dict></plist>\n";
        environment["VELMORA_RESOURCES"] = (m_folder / "resources").string();
        environment.try_emplace("CURL_CA_BUNDLE", "");
        environment.try_emplace("SSL_CERT_FILE", "");
        Outcome outcome = runToEnd({VELMORA_COMMAND_PATH, "check-for-updates"}, environment, 60);
        outcome.out += outcome.err;
        return outcome;
    }
    std::string tlsHost() const { return m_server->tlsHost(); }
    std::map<std::string, std::string> trusting() const { return {{"CURL_CA_BUNDLE", m_server->certificate()}}; }
    bool cleartextWasAsked() const { return fs::exists(m_folder / "cleartext.log"); }

    TemporaryFolder m_folder;
    std::unique_ptr<FeedServer> m_server; // before the folder it serves from goes
};

TEST_F(HostileFeedEndToEndTest, ATrustedServerIsHeardButItsNonWebLinksAreNot)
{
    // The set-up works: a fair feed from the trusted server is offered.
    Outcome fair = checkForUpdates(tlsHost() + "/benign", trusting());
    EXPECT_EQ(fair.exitCode, 10) << fair.out;
    EXPECT_NE(fair.out.find("Release notes: https://notes.invalid/9.5.html"), std::string::npos) << fair.out;

    Outcome hostile = checkForUpdates(tlsHost(), trusting());
    EXPECT_EQ(hostile.exitCode, 1) << hostile.out;
    EXPECT_NE(hostile.out.find("is incomplete"), std::string::npos) << hostile.out;
    for (const char* link : {"file:", "javascript:", "Release notes:"})
        EXPECT_EQ(hostile.out.find(link), std::string::npos) << link << " in:\n" << hostile.out;
    EXPECT_FALSE(cleartextWasAsked());
}

TEST_F(HostileFeedEndToEndTest, ARedirectToCleartextAndAnUntrustedCertificateFailTheCheck)
{
    Outcome downgraded = checkForUpdates(tlsHost() + "/to-http", trusting());
    EXPECT_EQ(downgraded.exitCode, 1) << downgraded.out;
    EXPECT_FALSE(cleartextWasAsked()) << "the redirect to http was followed";

    Outcome untrusted = checkForUpdates(tlsHost() + "/benign", {});
    EXPECT_EQ(untrusted.exitCode, 1) << untrusted.out;
    EXPECT_EQ(untrusted.out.find("Release notes:"), std::string::npos) << untrusted.out;

    // Cleartext itself is not spoken, even when it is all there is.
    Outcome plain = checkForUpdates(m_server->cleartextHost(), trusting());
    EXPECT_EQ(plain.exitCode, 1) << plain.out;
}

TEST_F(HostileFeedEndToEndTest, AnAnswerThatTakesSecondsIsWaitedForOnTheLoop)
{
    // The command's loop sleeps on the socket for the whole wait; the
    // answer must still wake it (three seconds, well inside the time-out).
    Outcome slow = checkForUpdates(tlsHost() + "/slow", trusting());
    EXPECT_EQ(slow.exitCode, 10) << slow.out;
    EXPECT_NE(slow.out.find("Release notes: https://notes.invalid/9.5.html"), std::string::npos) << slow.out;
}

} // namespace
} // namespace velmora::linux_desktop::testing
