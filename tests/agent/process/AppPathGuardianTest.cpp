#include "agent/process/AppPathGuardian.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr const char* kStartPath = "/opt/velmora/VelmoraBG.app";

class AppPathGuardianTest : public ::testing::Test {
protected:
    AppPathGuardianTest() { AppPathGuardian::discardShared(); }
    ~AppPathGuardianTest() override { AppPathGuardian::discardShared(); }

    sim::SimDesktop desktop;
    ScopedPlatform scoped{desktop};
};

TEST_F(AppPathGuardianTest, RenamedBundleEndsTheAgentNamingTheOldFolder)
{
    desktop.setBundlePath(kStartPath);
    AppPathGuardian::checkPath();
    EXPECT_EQ(AppPathGuardian::shared().appPath(), kStartPath);
    EXPECT_EQ(&AppPathGuardian::shared(), &AppPathGuardian::shared());
    EXPECT_FALSE(desktop.terminated());

    // The process now knows itself under the new name; the guard keeps the old one.
    desktop.setBundlePath("/opt/velmora/Renamed.app");
    desktop.removeFile(kStartPath);
    AppPathGuardian::checkPath();
    EXPECT_EQ(AppPathGuardian::shared().appPath(), kStartPath);
    EXPECT_TRUE(desktop.terminated());
    ASSERT_FALSE(desktop.logLines().empty());
    EXPECT_EQ(desktop.logLines().back(), "VelmoraBG.app was moved and thus had to quit.");
}

TEST_F(AppPathGuardianTest, BundleGoneBeforeTheFirstCheckEndsTheAgentAtOnce)
{
    desktop.setBundlePath("/opt/velmora/VelmoraBG.app/");
    desktop.removeFile("/opt/velmora/VelmoraBG.app/");
    AppPathGuardian::checkPath();
    EXPECT_TRUE(desktop.terminated());
    ASSERT_FALSE(desktop.logLines().empty());
    EXPECT_EQ(desktop.logLines().back(), "VelmoraBG.app was moved and thus had to quit.");
}

TEST_F(AppPathGuardianTest, UnknownStartPathIsNoReasonToQuit)
{
    desktop.setBundlePath("");
    AppPathGuardian::checkPath();
    EXPECT_FALSE(desktop.terminated());
    // Learnt once it is known.
    desktop.setBundlePath(kStartPath);
    AppPathGuardian::checkPath();
    EXPECT_EQ(AppPathGuardian::shared().appPath(), kStartPath);
    desktop.removeFile(kStartPath);
    AppPathGuardian::checkPath();
    EXPECT_TRUE(desktop.terminated());
}

} // namespace
} // namespace velmora
