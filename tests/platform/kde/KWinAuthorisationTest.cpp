// Which desktop entries make KWin offer a program its fake-input interface,
// as the settings window tells before the agent tries.

#include "platform/kde/KWinAuthorisation.h"
#include "tests/platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace velmora::kde::testing {
namespace {

namespace fs = std::filesystem;

class KWinAuthorisationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_program = m_root / "bin" / "VelmoraBG";
        fs::create_directories(m_program.parent_path());
        std::ofstream(m_program) << "#!/bin/sh\n";
        fs::create_directories(m_root / "user" / "applications");
        fs::create_directories(m_root / "system" / "applications");
    }

    void writeEntry(const fs::path& file, const std::string& exec, const std::string& interfaces)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "[Desktop Entry]\nType=Application\nName=Agent\nExec=" << exec
                            << "\nNoDisplay=true\n" << (interfaces.empty() ? "" : "X-KDE-Wayland-Interfaces=" + interfaces + "\n");
    }
    std::vector<std::string> directories() const { return {(m_root / "user").string(), (m_root / "system").string()}; }

    linux_desktop::testing::TemporaryFolder m_root;
    fs::path m_program;
};

TEST_F(KWinAuthorisationTest, OnlyAnEntryStartingThatProgramAndListingFakeInputGrantsIt)
{
    // Entries that do not count: another program, the interface not listed,
    // another interface only, not a desktop entry.
    writeEntry(m_root / "user/applications/other.desktop", "/usr/bin/true", "org_kde_kwin_fake_input");
    writeEntry(m_root / "user/applications/plain.desktop", m_program.string(), "");
    writeEntry(m_root / "user/applications/keyboard.desktop", m_program.string(), "zkde_screencast_unstable_v1;");
    writeEntry(m_root / "user/applications/agent.txt", m_program.string(), "org_kde_kwin_fake_input");
    EXPECT_FALSE(KWinAuthorisation::grantsFakeInput(m_program.string(), directories()));
    const std::string reason = KWinAuthorisation::refusalReason(m_program.string(), directories());
    EXPECT_NE(reason.find(m_program.string()), std::string::npos) << reason;
    EXPECT_NE(reason.find("X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input"), std::string::npos) << reason;

    // KWin takes the whole Exec value for the path: arguments spoil it.
    writeEntry(m_root / "user/applications/arguments.desktop", m_program.string() + " --quiet", "org_kde_kwin_fake_input");
    EXPECT_FALSE(KWinAuthorisation::grantsFakeInput(m_program.string(), directories()));

    // The system's entry, in a subfolder, through a link, among other interfaces.
    const fs::path link = m_root / "bin" / "agent-link";
    fs::create_symlink(m_program, link);
    writeEntry(m_root / "system/applications/velmora/agent.desktop", link.string(),
               "org_kde_plasma_window_management;org_kde_kwin_fake_input;");
    EXPECT_FALSE(KWinAuthorisation::grantsFakeInput(m_program.string(), directories()))
        << "plain.desktop starts it without the interface, and KWin may read that one";
    fs::remove(m_root / "user/applications/plain.desktop");
    fs::remove(m_root / "user/applications/keyboard.desktop");
    EXPECT_TRUE(KWinAuthorisation::grantsFakeInput(m_program.string(), directories()));
    EXPECT_EQ(KWinAuthorisation::refusalReason(m_program.string(), directories()), "");
}

TEST_F(KWinAuthorisationTest, TheUsersEntryShadowsTheSystemsOfTheSameName)
{
    // As an interpreter's own system entry would withhold it from a program run by it.
    writeEntry(m_root / "system/applications/agent.desktop", m_program.string(), "");
    EXPECT_NE(KWinAuthorisation::refusalReason(m_program.string(), directories()).find("system/applications/agent.desktop"),
              std::string::npos);
    writeEntry(m_root / "user/applications/agent.desktop", m_program.string(), "org_kde_kwin_fake_input");
    EXPECT_TRUE(KWinAuthorisation::grantsFakeInput(m_program.string(), directories()));
}

TEST_F(KWinAuthorisationTest, AMissingProgramOrFolderIsRefusedWithoutFault)
{
    writeEntry(m_root / "user/applications/agent.desktop", (m_root / "gone").string(), "org_kde_kwin_fake_input");
    EXPECT_FALSE(KWinAuthorisation::grantsFakeInput((m_root / "gone").string(), directories()));
    EXPECT_FALSE(KWinAuthorisation::grantsFakeInput(m_program.string(), {(m_root / "nowhere").string()}));
    // A broken entry is skipped, not fatal.
    std::ofstream(m_root / "user/applications/broken.desktop") << "Exec=\"unterminated\n[[[";
    writeEntry(m_root / "user/applications/zagent.desktop", m_program.string(), "org_kde_kwin_fake_input");
    EXPECT_TRUE(KWinAuthorisation::grantsFakeInput(m_program.string(), directories()));
}

} // namespace
} // namespace velmora::kde::testing
