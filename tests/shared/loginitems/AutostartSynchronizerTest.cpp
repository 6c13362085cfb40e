#include "shared/loginitems/AutostartSynchronizer.h"

#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "support/DomainValues.h"
#include "support/ValuePrinting.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace velmora {
namespace {

using Items = AutostartSynchronizer;

Value entry(const std::string& path, bool hide = false)
{
    return Value::Dictionary {{"Path", path}, {"Hide", hide}};
}

// Sets $HOME for one test and puts the previous value back.
class ScopedHome {
public:
    explicit ScopedHome(const char* home)
    {
        if (const char* previous = std::getenv("HOME"))
            m_previous = previous;
        setenv("HOME", home, 1);
    }
    ~ScopedHome()
    {
        if (m_previous)
            setenv("HOME", m_previous->c_str(), 1);
        else
            unsetenv("HOME");
    }

private:
    std::optional<std::string> m_previous;
};

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

    ScopedHome home { "/Users/tester" };
    sim::MemorySettingsStore store;
    sim::SimDesktop desktop { &store };
    ScopedPlatform scoped { desktop };
    AutostartSynchronizer loginItems { AutostartSynchronizer::of(desktop) };
};

TEST_F(AutostartSynchronizerTest, StandardizesPaths)
{
    EXPECT_EQ(Items::normalisedPath("~"), "/Users/tester");
    EXPECT_EQ(Items::normalisedPath("~/Applications/A.app/"), "/Users/tester/Applications/A.app");
    EXPECT_EQ(Items::normalisedPath("/Applications//Utilities/./../A.app//"), "/Applications/A.app");
    EXPECT_EQ(Items::normalisedPath("/.."), "/");
    EXPECT_EQ(Items::normalisedPath("/"), "/");
    EXPECT_EQ(Items::normalisedPath("~other/A.app"), "~other/A.app");
    EXPECT_EQ(Items::normalisedPath("/Apps/~/A.app"), "/Apps/~/A.app");
    EXPECT_EQ(Items::normalisedPath(""), "");
}

TEST_F(AutostartSynchronizerTest, AddsAnEntryAtTheEndOnlyOnce)
{
    setItems({entry("/Applications/Other.app", true)});

    loginItems.setLaunchesAtLogin(true, "/Applications/Velmora.app");
    loginItems.setLaunchesAtLogin(true, "/Applications/Velmora.app");

    EXPECT_EQ(items(), (Value::Array {entry("/Applications/Other.app", true), entry("/Applications/Velmora.app")}));
    EXPECT_EQ(test::storedValue(store, "loginwindow", "SystemKey"), Value(42));
    EXPECT_TRUE(loginItems.launchesAtLogin("/Applications/Velmora.app"));
}

TEST_F(AutostartSynchronizerTest, AddingCreatesAMissingDomain)
{
    EXPECT_FALSE(loginItems.launchesAtLogin("/Applications/Velmora.app"));
    loginItems.addAutostartEntry("/Applications/Velmora.app");
    EXPECT_EQ(items(), (Value::Array {entry("/Applications/Velmora.app")}));
}

TEST_F(AutostartSynchronizerTest, EntriesAreNormalisedButGivenPathsAreNot)
{
    setItems({entry("~/Applications/A.app/"), entry("/Applications/B.app")});

    EXPECT_TRUE(loginItems.launchesAtLogin("/Users/tester/Applications/A.app"));
    EXPECT_FALSE(loginItems.launchesAtLogin("~/Applications/A.app"));
    EXPECT_FALSE(loginItems.launchesAtLogin("/Applications/B.app/"));
    EXPECT_FALSE(loginItems.launchesAtLogin("/applications/b.app"));

    // The un-normalised form is therefore a different application: added.
    loginItems.setLaunchesAtLogin(true, "/Applications/B.app/");
    EXPECT_EQ(items().size(), 3u);
    loginItems.setLaunchesAtLogin(true, "/Users/tester/Applications/A.app");
    EXPECT_EQ(items().size(), 3u);
}

TEST_F(AutostartSynchronizerTest, RemovesTheFirstMatchAndEntriesIdenticalToIt)
{
    Value withExtra = Value::Dictionary {{"Path", "/Applications/A.app"}, {"Hide", false}, {"AliasData", "x"}};
    setItems({entry("/Applications/A.app", true), entry("/Applications/B.app"), entry("/Applications/A.app"),
        entry("/Applications/A.app", true), withExtra});

    loginItems.setLaunchesAtLogin(false, "/Applications/A.app");
    EXPECT_EQ(items(), (Value::Array {entry("/Applications/B.app"), entry("/Applications/A.app"), withExtra}));

    loginItems.setLaunchesAtLogin(false, "/Applications/A.app");
    EXPECT_EQ(items(), (Value::Array {entry("/Applications/B.app"), withExtra}));
    EXPECT_EQ(test::storedValue(store, "loginwindow", "SystemKey"), Value(42));
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

TEST_F(AutostartSynchronizerTest, RemovingAnAbsentApplicationWritesNothing)
{
    setItems({entry("/Applications/B.app")});
    const int writes = store.writeCount();
    loginItems.setLaunchesAtLogin(false, "/Applications/A.app");
    EXPECT_EQ(store.writeCount(), writes);
    EXPECT_EQ(items(), (Value::Array {entry("/Applications/B.app")}));
}

TEST_F(AutostartSynchronizerTest, EmptyPathMeansTheProgramsOwnBundle)
{
    desktop.setProgramPath("/Applications/Velmora/../VelmoraBG.app/");

    loginItems.setLaunchesAtLogin(true, "");
    EXPECT_EQ(items(), (Value::Array {entry("/Applications/VelmoraBG.app")}));
    EXPECT_TRUE(loginItems.launchesAtLogin(""));

    loginItems.setLaunchesAtLogin(false, "");
    EXPECT_TRUE(items().empty());
}

TEST_F(AutostartSynchronizerTest, FindsAnEntryByItsBundleName)
{
    setItems({entry("/Applications/VelmoraBG.app"), entry("/Library//velmorabg.app/"), entry("/Applications/velmorabg.app")});

    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("velmorabg"), "/Library/velmorabg.app");
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("velmorabg.app"), "/Library/velmorabg.app");
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("VelmoraBG"), "/Applications/VelmoraBG.app");
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("Velmorabg"), std::nullopt);
}

TEST_F(AutostartSynchronizerTest, LookupByNameDoesNotReRead)
{
    setItems({entry("/Applications/Old.app")});
    ASSERT_EQ(loginItems.pathOfAutostartEntryNamed("Old"), "/Applications/Old.app");

    setItems({entry("/Applications/New.app")}); // written by another program
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("New"), std::nullopt);
    desktop.standardUserDefaults().synchronize();
    EXPECT_EQ(loginItems.pathOfAutostartEntryNamed("New"), "/Applications/New.app");
}

} // namespace
} // namespace velmora
