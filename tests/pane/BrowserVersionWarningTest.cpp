#include "pane/BrowserVersionWarning.h"

#include "platform/sim/SimDesktop.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velmora {
namespace {

namespace fs = std::filesystem;

class BrowserVersionWarningTest : public ::testing::Test {
protected:
    void install(const std::string& releases, const std::string& extension = ".metainfo.xml")
    {
        std::ofstream(m_dir / (std::string(BrowserVersionWarning::kApplicationID) + extension))
            << "<?xml version=\"1.0\"?>\n<component type=\"desktop-application\"><id>org.gnome.Epiphany</id>"
            << "<releases>" << releases << "</releases></component>\n";
    }
    void installVersion(const std::string& version) { install("<release version=\"" + version + "\" date=\"2026-01-01\"/>"); }
    size_t warnings() { return m_desktop.alerts().shown().size(); }

    sim::SimDesktop m_desktop;
    test::TemporaryDirectory m_directory;
    fs::path m_dir{m_directory.path()};
    BrowserVersionWarning m_warning{m_desktop.alerts(), m_desktop.workspace(), m_dir};
};

TEST_F(BrowserVersionWarningTest, ReadsTheInstalledReleaseFromEitherFileName)
{
    EXPECT_EQ(m_warning.installedVersion(), std::nullopt) << "not installed";

    install("<release version=\"4.0.1\"/><release version=\"3.2.3\"/>", ".appdata.xml");
    EXPECT_EQ(m_warning.installedVersion(), "4.0.1");

    install("<release version=\"45.2\"/><release version=\"4.0\"/>");
    EXPECT_EQ(m_warning.installedVersion(), "45.2") << "the current file name wins";

    install("");
    EXPECT_EQ(m_warning.installedVersion(), std::nullopt) << "no releases listed";

    std::ofstream(m_dir / "org.gnome.Epiphany.metainfo.xml") << "<component><releases><release";
    EXPECT_EQ(m_warning.installedVersion(), "4.0.1") << "an unreadable file is passed over";
}

TEST_F(BrowserVersionWarningTest, WarnsForTheListedVersionsOnlyAndAtEverySelection)
{
    for (const char* quiet : {"4.0.2", "3.2.3", "4.0.10", "4", "4.0 "}) {
        installVersion(quiet);
        m_warning.warnIfUpgradeNeeded();
        EXPECT_EQ(warnings(), 0u) << quiet;
    }
    for (const char* bad : {"4.0", "4.0.1"}) {
        installVersion(bad);
        m_desktop.alerts().clear();
        m_warning.warnIfUpgradeNeeded();
        m_warning.warnIfUpgradeNeeded();
        EXPECT_EQ(warnings(), 2u) << bad;
    }
    fs::remove_all(m_dir);
    m_desktop.alerts().clear();
    m_warning.warnIfUpgradeNeeded();
    EXPECT_EQ(warnings(), 0u) << "nothing installed, no warning";
}

TEST_F(BrowserVersionWarningTest, TheDefaultButtonOpensTheUpdaterAndNotNowNothing)
{
    installVersion("4.0");
    m_desktop.alerts().answerNextWith(1);
    m_warning.warnIfUpgradeNeeded();
    EXPECT_TRUE(m_desktop.openedURLs().empty());

    m_warning.warnIfUpgradeNeeded();
    EXPECT_EQ(m_desktop.openedURLs(), std::vector<std::string>{BrowserVersionWarning::kSoftwareUpdateURL});

    const Alert& alert = m_desktop.alerts().shown().back().alert;
    EXPECT_EQ(alert.title, "Please upgrade GNOME Web");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Launch Software Update\xe2\x80\xa6", "Not Now"}));
    EXPECT_TRUE(alert.message.ends_with("so you can upgrade GNOME Web?\n")) << alert.message;
}

} // namespace
} // namespace velmora
