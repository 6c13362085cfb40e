#include "agent/process/InstallPathGuard.h"
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

constexpr const char* kStartPath = "/opt/velmora/VelmoraBG.app";

class InstallPathGuardTest : public ::testing::Test {
protected:
    sim::SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    InstallPathGuard guardian{desktop};
};

TEST_F(InstallPathGuardTest, RenamedProgramEndsTheAgentNamingTheOldFolder)
{
    desktop.setProgramPath(kStartPath);
    guardian.check();
    EXPECT_EQ(guardian.appPath(), kStartPath);
    EXPECT_FALSE(desktop.terminated());

    // The process now knows itself under the new name; the guard keeps the old one.
    desktop.setProgramPath("/opt/velmora/Renamed.app");
    desktop.removeFile(kStartPath);
    guardian.check();
    EXPECT_EQ(guardian.appPath(), kStartPath);
    EXPECT_TRUE(desktop.terminated());
    ASSERT_FALSE(desktop.logLines().empty());
    EXPECT_EQ(desktop.logLines().back(), "VelmoraBG.app was moved and thus had to quit.");
}

TEST_F(InstallPathGuardTest, ProgramGoneBeforeTheFirstCheckEndsTheAgentAtOnce)
{
    desktop.setProgramPath("/opt/velmora/VelmoraBG.app/");
    desktop.removeFile("/opt/velmora/VelmoraBG.app/");
    guardian.start();
    EXPECT_TRUE(desktop.terminated());
    ASSERT_FALSE(desktop.logLines().empty());
    EXPECT_EQ(desktop.logLines().back(), "VelmoraBG.app was moved and thus had to quit.");
}

TEST_F(InstallPathGuardTest, UnknownStartPathIsNoReasonToQuit)
{
    desktop.setProgramPath("");
    guardian.check();
    EXPECT_FALSE(desktop.terminated());
    // Learnt once it is known.
    desktop.setProgramPath(kStartPath);
    guardian.check();
    EXPECT_EQ(guardian.appPath(), kStartPath);
    desktop.removeFile(kStartPath);
    guardian.check();
    EXPECT_TRUE(desktop.terminated());
}

TEST_F(InstallPathGuardTest, StartedGuardNoticesAMoveOnItsTimerAndQuitsOnce)
{
    desktop.setProgramPath(kStartPath);
    guardian.start();
    guardian.start(); // a second start adds no second timer
    EXPECT_EQ(guardian.appPath(), kStartPath);
    EXPECT_FALSE(desktop.terminated());

    desktop.removeFile(kStartPath);
    desktop.advance(InstallPathGuard::kCheckInterval - 1);
    EXPECT_FALSE(desktop.terminated()) << "nothing looks before the interval is up";
    desktop.advance(1);
    EXPECT_TRUE(desktop.terminated());

    const size_t lines = desktop.logLines().size();
    desktop.advance(3 * InstallPathGuard::kCheckInterval);
    EXPECT_EQ(desktop.logLines().size(), lines) << "the timer stops once the agent is told to quit";
}

TEST_F(InstallPathGuardTest, DestroyedGuardChecksNoMore)
{
    desktop.setProgramPath(kStartPath);
    {
        InstallPathGuard shortLived{desktop};
        shortLived.start();
    }
    desktop.removeFile(kStartPath);
    desktop.advance(2 * InstallPathGuard::kCheckInterval);
    EXPECT_FALSE(desktop.terminated());
}

} // namespace
} // namespace velmora
