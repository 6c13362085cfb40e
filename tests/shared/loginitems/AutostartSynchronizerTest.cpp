#include "shared/loginitems/AutostartSynchronizer.h"

#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "shared/update/ScopedEnvironment.h"
#include "support/DomainValues.h"
#include "support/ValuePrinting.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using Items = AutostartSynchronizer;

Value entry(const std::string& path, bool hide = false)
{
    return Value::Dictionary {{"Path", path}, {"Hide", hide}};
}

class AutostartSynchronizerTest : public ::testing::Test {
protected:
    // The login window's domain as the system keeps it, with a key of its own.
    void setItems(Value::Array items)
    {
        test::writeStoredValue(store, "loginwindow", "AutoLaunchedApplicationDictionary", std::move(items));
        test::writeStoredValue(store, "loginwindow", "SystemKey", 42);
    }
    Value::Array items()
    {
        const Value stored = test::storedValue(store, "loginwindow", "AutoLaunchedApplicationDictionary");
        return stored.array() ? *stored.array() : Value::Array {};
    }

    test::ScopedEnvironment home {"HOME", std::string("/home/tester")};
    sim::MemorySettingsStore store;
    sim::SimDesktop desktop { &store };
    ScopedPlatform scoped { desktop };
    AutostartSynchronizer loginItems { AutostartSynchronizer::of(desktop) };
};

TEST_F(AutostartSynchronizerTest, NormalisesPaths)
{
    EXPECT_EQ(Items::normalisedPath("~"), "/home/tester");
    EXPECT_EQ(Items::normalisedPath("~/bin/a/"), "/home/tester/bin/a");
    EXPECT_EQ(Items::normalisedPath("/usr//local/./../bin/a//"), "/usr/bin/a");
    EXPECT_EQ(Items::normalisedPath("/.."), "/");
    EXPECT_EQ(Items::normalisedPath("/"), "/");
    EXPECT_EQ(Items::normalisedPath("~other/a"), "~other/a");
    EXPECT_EQ(Items::normalisedPath("/opt/~/a"), "/opt/~/a");
    EXPECT_EQ(Items::normalisedPath(""), "");
}

TEST_F(AutostartSynchronizerTest, AddsAnEntryAtTheEndOnlyOnce)
{
    // A missing domain is made.
    EXPECT_FALSE(loginItems.launchesAtLogin("/usr/bin/first"));
    loginItems.addAutostartEntry("/usr/bin/first");
    EXPECT_EQ(items(), (Value::Array {entry("/usr/bin/first")}));

    setItems({entry("/usr/bin/other", true)});

    loginItems.setLaunchesAtLogin(true, "/usr/bin/velmora");
    loginItems.setLaunchesAtLogin(true, "/usr/bin/velmora");

    EXPECT_EQ(items(), (Value::Array {entry("/usr/bin/other", true), entry("/usr/bin/velmora")}));
    EXPECT_EQ(test::storedValue(store, "loginwindow", "SystemKey"), Value(42));
    EXPECT_TRUE(loginItems.launchesAtLogin("/usr/bin/velmora"));
}

TEST_F(AutostartSynchronizerTest, EntriesAreNormalisedButGivenPathsAreNot)
{
    setItems({entry("~/bin/a/"), entry("/usr/bin/b")});

    EXPECT_TRUE(loginItems.launchesAtLogin("/home/tester/bin/a"));
    EXPECT_FALSE(loginItems.launchesAtLogin("~/bin/a"));
    EXPECT_FALSE(loginItems.launchesAtLogin("/usr/bin/b/"));
    EXPECT_FALSE(loginItems.launchesAtLogin("/usr/bin/B"));

    // The un-normalised form is therefore a different application: added.
    loginItems.setLaunchesAtLogin(true, "/usr/bin/b/");
    EXPECT_EQ(items().size(), 3u);
    loginItems.setLaunchesAtLogin(true, "/home/tester/bin/a");
    EXPECT_EQ(items().size(), 3u);
}

TEST_F(AutostartSynchronizerTest, RemovesTheFirstMatchAndEntriesIdenticalToIt)
{
    Value withExtra = Value::Dictionary {{"Path", "/usr/bin/a"}, {"Hide", false}, {"AliasData", "x"}};
    setItems({entry("/usr/bin/a", true), entry("/usr/bin/b"), entry("/usr/bin/a"),
        entry("/usr/bin/a", true), withExtra});

    loginItems.setLaunchesAtLogin(false, "/usr/bin/a");
    EXPECT_EQ(items(), (Value::Array {entry("/usr/bin/b"), entry("/usr/bin/a"), withExtra}));

    loginItems.setLaunchesAtLogin(false, "/usr/bin/a");
    EXPECT_EQ(items(), (Value::Array {entry("/usr/bin/b"), withExtra}));
    EXPECT_EQ(test::storedValue(store, "loginwindow", "SystemKey"), Value(42));

    // Removing what is not there writes nothing.
    const int writes = store.writeCount();
    loginItems.setLaunchesAtLogin(false, "/usr/bin/c");
    EXPECT_EQ(store.writeCount(), writes);
}

TEST_F(AutostartSynchronizerTest, CopiesOfTheItemInOtherFilesGoWithIt)
{
    auto inFile = [](const std::string& path, const char* file, bool hide = false) {
        return Value(Value::Dictionary {{"Path", path}, {"Hide", hide}, {"AutostartFile", file}});
    };
    setItems({inFile("/opt/velmora/VelmoraBG", "VelmoraBG.desktop"), inFile("/usr/bin/other", "other.desktop"),
        inFile("/opt/velmora/VelmoraBG", "VelmoraBG-2.desktop"), inFile("/opt/velmora//bin/../VelmoraBG", "by-hand.desktop"),
        inFile("/opt/velmora/VelmoraBG", "hidden.desktop", true)});

    loginItems.setLaunchesAtLogin(false, "/opt/velmora/VelmoraBG");
    EXPECT_EQ(items(), (Value::Array {inFile("/usr/bin/other", "other.desktop"), inFile("/opt/velmora/VelmoraBG", "hidden.desktop", true)}));
}

TEST_F(AutostartSynchronizerTest, EmptyPathMeansThisProgram)
{
    desktop.setProgramPath("/usr/lib/velmora/bin/../VelmoraBG/");

    loginItems.setLaunchesAtLogin(true, "");
    EXPECT_EQ(items(), (Value::Array {entry("/usr/lib/velmora/VelmoraBG")}));
    EXPECT_TRUE(loginItems.launchesAtLogin(""));

    loginItems.setLaunchesAtLogin(false, "");
    EXPECT_TRUE(items().empty());
}

TEST_F(AutostartSynchronizerTest, FindsAnEntryByItsProgramsFileName)
{
    setItems({entry("/usr/lib/velmora/VelmoraBG"), entry("/opt//velmorabg.bin/"), entry("/usr/bin/velmorabg")});

    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("velmorabg"), "/opt/velmorabg.bin");
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("velmorabg.bin"), "/opt/velmorabg.bin");
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("VelmoraBG"), "/usr/lib/velmora/VelmoraBG");
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("Velmorabg"), std::nullopt);
}

TEST_F(AutostartSynchronizerTest, LookupByNameDoesNotReRead)
{
    setItems({entry("/usr/bin/Old")});
    ASSERT_EQ(loginItems.pathOfAutostartEntryNamed("Old"), "/usr/bin/Old");

    setItems({entry("/usr/bin/New")}); // written by another program
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("New"), std::nullopt);
    desktop.standardUserDefaults().synchronize();
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("New"), "/usr/bin/New");
}

} // namespace
} // namespace velmora
