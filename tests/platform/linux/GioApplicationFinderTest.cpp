// Installed applications from desktop entries, as the ignored-applications
// editor finds them.

#include "platform/linux/GioApplicationFinder.h"
#include "platform/linux/TestApplications.h"
#include "platform/linux/ScopedVariable.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace velmora::linux_desktop::testing {
namespace {

// Registered before any test: GIO reads the folders once per process.
[[maybe_unused]] const ::testing::Environment* const kTestApplications = ::testing::AddGlobalTestEnvironment(new TestApplicationsEnvironment);

class GioApplicationFinderTest : public ::testing::Test {
protected:
    GioApplicationFinder m_finder;
};

TEST_F(GioApplicationFinderTest, AnEntryIsFoundByItsIdentifierNameOrProgram)
{
    const std::string dialogs = dialogsEntryPath().string();
    EXPECT_EQ(m_finder.pathForApplicationWithIdentifier(kDialogsEntryId), dialogs);
    EXPECT_EQ(m_finder.pathForApplicationWithIdentifier(std::string(kDialogsEntryId) + ".desktop"), dialogs);
    EXPECT_EQ(m_finder.pathForApplicationWithIdentifier(kSorterEntryId), sorterEntryPath().string());

    EXPECT_EQ(m_finder.fullPathForApplication(kDialogsName), dialogs);
    EXPECT_EQ(m_finder.fullPathForApplication("velmora test DIALOGS"), dialogs);
    EXPECT_EQ(m_finder.fullPathForApplication(kDialogsEntryId), dialogs);
    EXPECT_EQ(m_finder.fullPathForApplication("zenity"), dialogs);

    EXPECT_FALSE(m_finder.pathForApplicationWithIdentifier("velmora-no-such-entry"));
    EXPECT_FALSE(m_finder.pathForApplicationWithIdentifier(""));
    EXPECT_FALSE(m_finder.pathForApplicationWithIdentifier("../applications/velmora-test-dialogs"));
    EXPECT_FALSE(m_finder.fullPathForApplication("No Such Program Anywhere"));
    EXPECT_FALSE(m_finder.fullPathForApplication(""));
}

TEST_F(GioApplicationFinderTest, AnEntrysIdentifierIsTheOneTheWorkspaceGivesItsRunningProgram)
{
    EXPECT_TRUE(m_finder.isApplicationAtPath(dialogsEntryPath().string()));
    EXPECT_EQ(m_finder.applicationIdentifierAtPath(dialogsEntryPath().string()), kDialogsEntryId);
    // Below a subfolder the folder names join the ID with dashes.
    EXPECT_EQ(m_finder.applicationIdentifierAtPath(sorterEntryPath().string()), kSorterEntryId);

    // An entry outside the applications folders is known by its file name,
    // and counts only as a copy of an installed one: the list could not show
    // anything else again.
    const TemporaryFolder folder;
    const std::filesystem::path copy = folder / (std::string(kDialogsEntryId) + ".desktop");
    std::filesystem::copy_file(dialogsEntryPath(), copy);
    EXPECT_TRUE(m_finder.isApplicationAtPath(copy.string()));
    EXPECT_EQ(m_finder.applicationIdentifierAtPath(copy.string()), kDialogsEntryId);
    writeEntry(folder / "loose.desktop", "Name=Loose Tool\nExec=true\n");
    EXPECT_FALSE(m_finder.isApplicationAtPath((folder / "loose.desktop").string()));
    EXPECT_EQ(m_finder.applicationIdentifierAtPath((folder / "loose.desktop").string()), "");
    EXPECT_EQ(m_finder.displayNameAtPath((folder / "loose.desktop").string()), "Loose Tool");
    std::ofstream(folder / "notes.txt") << "not an application\n";

    EXPECT_FALSE(m_finder.isApplicationAtPath((folder / "notes.txt").string()));
    EXPECT_EQ(m_finder.applicationIdentifierAtPath((folder / "notes.txt").string()), "");
    EXPECT_FALSE(m_finder.isApplicationAtPath((folder / "missing.desktop").string()));
}

TEST_F(GioApplicationFinderTest, AProgramWithoutAnEntryIsKnownByItsFileName)
{
    const TemporaryFolder folder;
    const std::filesystem::path program = folder / "velmora-probe-2.1";
    std::ofstream(program) << "#!/bin/sh\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    std::ofstream(folder / "plain.sh") << "not executable\n";

    EXPECT_EQ(m_finder.displayNameAtPath(program.string()), "velmora-probe-2.1") << "the version is no extension";
    // Off PATH its name leads nowhere, so the list could not show it again.
    EXPECT_FALSE(m_finder.isApplicationAtPath(program.string()));
    EXPECT_FALSE(m_finder.fullPathForApplication("velmora-probe-2.1"));

    // On PATH: found by name, after every desktop entry.
    const std::string path = g_getenv("PATH") ? g_getenv("PATH") : "";
    const ScopedVariable onPath("PATH", (folder.path().string() + ":" + path).c_str());
    EXPECT_TRUE(m_finder.isApplicationAtPath(program.string()));
    EXPECT_EQ(m_finder.applicationIdentifierAtPath(program.string()), "velmora-probe-2.1");
    EXPECT_FALSE(m_finder.isApplicationAtPath((folder / "plain.sh").string()));
    EXPECT_FALSE(m_finder.isApplicationAtPath(folder.path().string())) << "a folder is searchable, not a program";
    EXPECT_EQ(m_finder.fullPathForApplication("velmora-probe-2.1"), program.string());
    EXPECT_EQ(m_finder.fullPathForApplication("zenity"), dialogsEntryPath().string()) << "its entry comes first";
    EXPECT_FALSE(m_finder.fullPathForApplication("plain.sh"));
    EXPECT_FALSE(m_finder.fullPathForApplication(program.string())) << "a name, not a path";
}

TEST_F(GioApplicationFinderTest, NamesAndIconsOfEntriesAndOfOtherFiles)
{
    EXPECT_EQ(m_finder.displayNameAtPath(dialogsEntryPath().string()), kDialogsName);
    EXPECT_EQ(m_finder.displayNameAtPath("/opt/somewhere/Report Tool.bin"), "Report Tool");
    EXPECT_EQ(m_finder.iconForFile(dialogsEntryPath().string()), "dialog-information");
    EXPECT_EQ(m_finder.iconForFile(sorterEntryPath().string()), "/usr/share/pixmaps/card-sorter.png");
    // A plain file gets its content type's icon; a missing one none.
    EXPECT_FALSE(m_finder.iconForFile(DESKTOP_TESTS_DIR "/button-extents.py").empty());
    EXPECT_EQ(m_finder.iconForFile("/nonexistent/velmora/file"), "");
}

// What the ignored list costs to show: looking up thousands of entries
// lists the installed applications once, not once (or twice) per entry.
TEST_F(GioApplicationFinderTest, ManyLookupsShareOneListingOfTheInstalledApplications)
{
    for (int i = 0; i < 2000; ++i) {
        const std::string name = "org.example.Gone" + std::to_string(i);
        EXPECT_FALSE(m_finder.pathForApplicationWithIdentifier(name));
        EXPECT_FALSE(m_finder.fullPathForApplication(name));
    }
    EXPECT_EQ(m_finder.listingCount(), 1);
    // The same answers as before for what is installed.
    EXPECT_EQ(m_finder.fullPathForApplication("velmora test DIALOGS"), dialogsEntryPath().string());
    EXPECT_EQ(m_finder.pathForApplicationWithIdentifier(kSorterEntryId), sorterEntryPath().string());
    EXPECT_EQ(m_finder.displayNameAtPath(dialogsEntryPath().string()), kDialogsName);
    EXPECT_EQ(m_finder.iconForFile(sorterEntryPath().string()), "/usr/share/pixmaps/card-sorter.png");
    gchar* sh = g_find_program_in_path("sh");
    ASSERT_TRUE(sh);
    EXPECT_EQ(m_finder.fullPathForApplication("sh"), std::string(sh)) << "a program on PATH";
    g_free(sh);
    EXPECT_EQ(m_finder.listingCount(), 1);
}

} // namespace
} // namespace velmora::linux_desktop::testing
