#include "agent/process/ProcessInformer.h"

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ProcessInformerTest, FindsTheFirstProcessWithExactlyThatName)
{
    sim::SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    desktop.addProcess("KScreenLocker_Greet");
    pid_t first = desktop.addProcess("kscreenlocker_greet", "/usr/libexec/kscreenlocker_greet");
    desktop.addProcess("kscreenlocker_greet", "/elsewhere/kscreenlocker_greet");

    auto info = ProcessInformer::processNamed(desktop.processManager(), "kscreenlocker_greet");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->pid, first);
    EXPECT_EQ(info->path, "/usr/libexec/kscreenlocker_greet");
    EXPECT_EQ(ProcessInformer::pidOfProcessNamed(desktop.processManager(), "kscreenlocker_greet"), first);

    EXPECT_FALSE(ProcessInformer::processNamed(desktop.processManager(), "kscreenlocker").has_value());
    EXPECT_EQ(ProcessInformer::pidOfProcessNamed(desktop.processManager(), "KSCREENLOCKER_GREET"), std::nullopt);
}

TEST(ProcessInformerTest, AQuitProcessIsNoLongerFound)
{
    sim::SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    pid_t pid = desktop.addProcess("velmorabg");
    desktop.removeProcess(pid);
    EXPECT_EQ(ProcessInformer::pidOfProcessNamed(desktop.processManager(), "velmorabg"), std::nullopt);
}

} // namespace
} // namespace velmora
