#include "platform/linux/LinuxProcessManager.h"

#include "platform/linux/DesktopSession.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace velmora::linux_desktop::testing {
namespace {

TEST(LinuxProcessManagerTest, ListsOurProcessesByProgramNameAndAsksThemToQuit)
{
    LinuxProcessManager manager;
    auto self = manager.record(getpid());
    ASSERT_TRUE(self);
    EXPECT_EQ(self->name, "velmora_desktop_tests");
    EXPECT_EQ(self->path, std::filesystem::read_symlink("/proc/self/exe").string());

    Program sleeper({"sleep", "30"});
    ASSERT_TRUE(pumpUntil([&] {
        auto r = manager.record(sleeper.pid());
        return r && r->name == "sleep";
    }, 5));
    auto all = manager.processes();
    EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; }));
    EXPECT_NE(std::find_if(all.begin(), all.end(), [&](const auto& r) { return r.pid == sleeper.pid(); }), all.end());
    EXPECT_EQ(std::find_if(all.begin(), all.end(), [](const auto& r) { return r.pid == 1 && getuid() != 0; }), all.end());

    EXPECT_TRUE(manager.isRunning(sleeper.pid()));
    ASSERT_TRUE(manager.sendQuit(sleeper.pid()));
    // Ended but not yet reaped: it no longer runs.
    siginfo_t ended{};
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(sleeper.pid()), &ended, WEXITED | WNOWAIT), 0);
    EXPECT_FALSE(manager.isRunning(sleeper.pid()));
    int status = 0;
    ASSERT_EQ(waitpid(sleeper.pid(), &status, 0), sleeper.pid());
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_FALSE(manager.isRunning(sleeper.pid()));
    EXPECT_FALSE(manager.sendQuit(0));
}

// A process reaped while it is described fails the reads of its files
// (ESRCH); a file that is a directory fails them the same way here.
TEST(LinuxProcessManagerTest, AProcessWhoseFilesCannotBeReadIsLeftOutNotThrown)
{
    const TemporaryFolder root;
    std::filesystem::create_directories(root / "41" / "cmdline");
    std::filesystem::create_directories(root / "41" / "comm");
    std::filesystem::create_directories(root / "42");
    {
        std::ofstream cmdline(root / "42" / "cmdline", std::ios::binary);
        cmdline << std::string("/usr/bin/zenity\0--info\0", 23);
    }

    LinuxProcessManager manager(root.path().string());
    std::optional<ProcessRecord> unreadable;
    EXPECT_NO_THROW(unreadable = manager.record(41));
    EXPECT_FALSE(unreadable);
    std::vector<ProcessRecord> all;
    EXPECT_NO_THROW(all = manager.processes());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].pid, 42);
    EXPECT_EQ(all[0].name, "zenity");
}

} // namespace
} // namespace velmora::linux_desktop::testing
