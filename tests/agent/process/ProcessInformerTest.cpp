#include "agent/process/ProcessInformer.h"

#include "platform/NotFound.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ProcessInformerTest, FindsTheFirstProcessWithExactlyThatName)
{
    sim::SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    desktop.addProcess("LoginWindow");
    pid_t first = desktop.addProcess("loginwindow", "/System/loginwindow");
    desktop.addProcess("loginwindow", "/elsewhere/loginwindow");

    auto info = ProcessInformer::infoDictionaryForProcessNamed("loginwindow");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->pid, first);
    EXPECT_EQ(info->path, "/System/loginwindow");
    EXPECT_EQ(ProcessInformer::processIDForProcessNamed("loginwindow"), first);

    EXPECT_FALSE(ProcessInformer::infoDictionaryForProcessNamed("loginwin").has_value());
    EXPECT_EQ(ProcessInformer::processIDForProcessNamed("LOGINWINDOW"), 0x7fffffff);
}

TEST(ProcessInformerTest, AQuitProcessIsNoLongerFound)
{
    sim::SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    pid_t pid = desktop.addProcess("velmorabg");
    desktop.removeProcess(pid);
    EXPECT_EQ(ProcessInformer::processIDForProcessNamed("velmorabg"), kNSNotFound);
}

} // namespace
} // namespace velmora
