#include "platform/XdgBaseDirectories.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace velmora {
namespace {

struct Folders {
    std::string configHome;
    std::string dataHome;
    std::vector<std::string> dataDirectories;
};

// In a child: sets HOME=/home/someone and the given XDG variables (null
// unsets), then exits 0 when the folders found are the expected ones.
[[noreturn]] void exitWithComparison(const char* configHome, const char* dataHome, const char* dataDirs, const Folders& expected)
{
    ::setenv("HOME", "/home/someone", 1);
    for (auto [name, value] : {std::pair{"XDG_CONFIG_HOME", configHome}, {"XDG_DATA_HOME", dataHome}, {"XDG_DATA_DIRS", dataDirs}})
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    Folders found{XdgBaseDirectories::configHome(), XdgBaseDirectories::dataHome(), XdgBaseDirectories::dataDirectories()};
    std::fprintf(stderr, "config %s, data %s, %zu data directories\n", found.configHome.c_str(), found.dataHome.c_str(),
        found.dataDirectories.size());
    const bool same = found.configHome == expected.configHome && found.dataHome == expected.dataHome
        && found.dataDirectories == expected.dataDirectories;
    std::exit(same ? 0 : 1);
}

// GLib reads the variables once per process: each case runs in a process of
// its own, started afresh (gtest's threadsafe death tests re-execute the
// binary).
void expectFolders(const char* configHome, const char* dataHome, const char* dataDirs, const Folders& expected)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exitWithComparison(configHome, dataHome, dataDirs, expected), ::testing::ExitedWithCode(0), "")
        << "XDG_CONFIG_HOME=" << (configHome ? configHome : "(unset)") << " XDG_DATA_HOME=" << (dataHome ? dataHome : "(unset)")
        << " XDG_DATA_DIRS=" << (dataDirs ? dataDirs : "(unset)");
}

TEST(XdgBaseDirectoriesTest, VariablesThenTheDefaultsUnderHome)
{
    expectFolders("/srv/config", "/srv/data", "/opt/share:/usr/share",
        {"/srv/config", "/srv/data", {"/opt/share", "/usr/share"}});
    expectFolders(nullptr, nullptr, nullptr,
        {"/home/someone/.config", "/home/someone/.local/share", {"/usr/local/share", "/usr/share"}});
}

TEST(XdgBaseDirectoriesTest, RelativePathsAreIgnored)
{
    expectFolders("relative/config", "relative/data", "relative/share:/opt/share",
        {"/home/someone/.config", "/home/someone/.local/share", {"/opt/share"}});
}

} // namespace
} // namespace velmora
