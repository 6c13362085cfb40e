#pragma once

// Desktop entries the tests install in the private desktop's data folder
// ($XDG_DATA_HOME/applications) before any test runs, so that every process
// (this one and the programs it starts) sees the same installed applications.

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace velmora::linux_desktop::testing {

// Starts zenity, the dialogs of the end-to-end tests: the agent knows a
// running zenity by this entry's ID.
inline constexpr const char* kDialogsEntryId = "velmora-test-dialogs";
inline constexpr const char* kDialogsName = "Velmora Test Dialogs";
// An entry in a subfolder: its ID is "velmora-tools-sorter".
inline constexpr const char* kSorterEntryId = "velmora-tools-sorter";
inline constexpr const char* kSorterName = "Card Sorter";

inline std::filesystem::path testApplicationsFolder()
{
    return std::filesystem::path(g_get_user_data_dir()) / "applications";
}

inline std::filesystem::path dialogsEntryPath()
{
    return testApplicationsFolder() / (std::string(kDialogsEntryId) + ".desktop");
}

inline std::filesystem::path sorterEntryPath()
{
    return testApplicationsFolder() / "velmora-tools" / "sorter.desktop";
}

inline void writeEntry(const std::filesystem::path& path, const std::string& body)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "[Desktop Entry]\nType=Application\n" << body;
}

class TestApplicationsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        writeEntry(dialogsEntryPath(), std::string("Name=") + kDialogsName + "\nExec=zenity --info\nIcon=dialog-information\n");
        writeEntry(sorterEntryPath(), std::string("Name=") + kSorterName + "\nExec=true %F\nIcon=/usr/share/pixmaps/card-sorter.png\n");
    }
    void TearDown() override
    {
        std::filesystem::remove(dialogsEntryPath());
        std::filesystem::remove_all(sorterEntryPath().parent_path());
    }
};

} // namespace velmora::linux_desktop::testing
