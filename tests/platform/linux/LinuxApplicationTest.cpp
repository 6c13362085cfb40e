#include "platform/linux/LinuxApplication.h"

#include "platform/linux/GlibRunLoop.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::linux_desktop::testing {
namespace {

TEST(LinuxApplicationTest, KnowsItsExecutableAndTerminatesThroughTheLoop)
{
    GlibRunLoop loop;
    NotificationCenter center;
    LinuxApplication application(center, loop);
    EXPECT_EQ(application.programPath(), std::filesystem::read_symlink("/proc/self/exe").string());
    EXPECT_TRUE(application.fileExists(application.programPath()));
    EXPECT_FALSE(application.fileExists("/nonexistent/velmora"));
    EXPECT_FALSE(application.fileExists(""));

    int willTerminate = 0;
    auto observation = center.addObserver(kWillTerminateNotification, nullptr, [&](const Notification&) { ++willTerminate; });
    loop.performAtEndOfPass([&] { application.terminate(); });
    auto reaper = loop.scheduleTimer(5, TimerRepeats::No, [&] { ADD_FAILURE() << "terminate did not stop the loop"; loop.stop(); });
    loop.run();
    EXPECT_EQ(willTerminate, 1);
}
} // namespace
} // namespace velmora::linux_desktop::testing
