#include "agent/process/LegacyAgentStopper.h"

#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "support/DomainValues.h"
#include "support/ValuePrinting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

Value entry(const std::string& path)
{
    return Value::Dictionary {{"Path", path}, {"Hide", false}};
}

class LegacyAgentStopperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::writeStoredValue(store, "loginwindow", "AutoLaunchedApplicationDictionary",
            Value::Array {entry("/Applications/Velmora.settingsPane/Contents/Resources/VelmoraBG.app"),
                entry("/Library/PreferencePanes/Velmora.settingsPane/Contents/Resources/velmorabg.app")});
    }
    Value loginItems() { return test::storedValue(store, "loginwindow", "AutoLaunchedApplicationDictionary"); }

    sim::MemorySettingsStore store;
    sim::SimDesktop desktop { &store };
    ScopedPlatform scoped { desktop };
};

TEST_F(LegacyAgentStopperTest, StopsARunningOldAgentOnceAndRemovesItsLoginItem)
{
    desktop.addProcess("VelmoraBG");
    pid_t old = desktop.addProcess("velmorabg");

    LegacyAgentStopper::stopAtStartup(desktop);

    EXPECT_THAT(desktop.quitRequests(), ElementsAre(old));
    EXPECT_EQ(loginItems(), Value(Value::Array {entry("/Applications/Velmora.settingsPane/Contents/Resources/VelmoraBG.app")}));
}

TEST_F(LegacyAgentStopperTest, LeavesEverythingAloneWhenNoOldAgentRuns)
{
    desktop.addProcess("VelmoraBG"); // the current agent differs in case
    const Value before = loginItems();

    LegacyAgentStopper::stopAtStartup(desktop);

    EXPECT_THAT(desktop.quitRequests(), IsEmpty());
    EXPECT_EQ(loginItems(), before);
}

TEST_F(LegacyAgentStopperTest, StoppingWithoutALoginItemOnlySendsTheQuit)
{
    test::writeStoredValue(store, "loginwindow", "AutoLaunchedApplicationDictionary", Value::Array {entry("/Applications/Other.app")});
    pid_t old = desktop.addProcess("velmorabg");

    LegacyAgentStopper killer(desktop);
    EXPECT_TRUE(killer.legacyAgentIsRunning());
    EXPECT_EQ(killer.legacyLoginItemPath(), std::nullopt);
    killer.stopLegacyAgent();

    EXPECT_THAT(desktop.quitRequests(), ElementsAre(old));
    EXPECT_EQ(loginItems(), Value(Value::Array {entry("/Applications/Other.app")}));
}

} // namespace
} // namespace velmora
