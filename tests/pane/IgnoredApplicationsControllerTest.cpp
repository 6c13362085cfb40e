#include "pane/ControlProtocolScene.h"
#include "pane/IgnoredApplicationsController.h"
#include "pane/AgentController.h"
#include "platform/sim/MemorySettingsStore.h"

#include <gtest/gtest.h>

using namespace velmora;
using Table = IgnoredApplicationsController;

namespace {

class IgnoredApplicationsControllerTest : public scenes::ControlProtocolScene {
protected:
    IgnoredApplicationsControllerTest()
    {
        desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", prefs.currentVersionString()}}, kDomain);
        m_observations.push_back(table.addObserver("ignoredAppsNames", [this](const std::string& k) { changes.push_back(k); }));
        m_observations.push_back(table.addObserver("canRemoveSelectedRow", [this](const std::string& k) { changes.push_back(k); }));
    }

    void installBuiltIns()
    {
        auto& finder = desktop.applicationFinder();
        finder.install("/usr/share/applications/moneydance.desktop", "Moneydance", "com.infinitekind.moneydance");
        finder.install("/usr/share/applications/v2c.desktop", "V2C", "org.v2c.V2C");
        finder.install("/usr/share/applications/addressbook.desktop", "Address Book", "org.example.AddressBook");
    }
    void installEditor() { desktop.applicationFinder().install("/usr/share/applications/org.gnome.TextEditor.desktop", "Text Editor", "org.gnome.TextEditor"); }

    void storeList(const char* key, Value::Array entries)
    {
        desktop.standardUserDefaults().updatePersistentDomain(kDomain, [&](std::optional<Value::Dictionary>& domain) {
            (*domain)[key] = entries;
            return true;
        });
    }

    std::vector<std::string> column(const char* key)
    {
        std::vector<std::string> values;
        for (const auto& row : table.data())
            values.push_back(valueForKey(row, key).description());
        return values;
    }

    int rowOf(const std::string& entry)
    {
        auto entries = column(Table::kEntry);
        auto it = std::find(entries.begin(), entries.end(), entry);
        return it == entries.end() ? Table::kNoSelection : static_cast<int>(it - entries.begin());
    }

    // Another process's change, straight into the store: this process's
    // defaults do not see it until they read again.
    void anotherProcessStores(const char* key, Value::Array entries)
    {
        desktop.domainStore().update(kDomain, [&](std::optional<Value::Dictionary>& domain) {
            (*domain)[key] = entries;
            return true;
        });
    }

    AgentController prefs{AgentController::Services::of(desktop)};
    Table table{prefs, desktop.applicationFinder()};
    std::vector<std::string> changes;

private:
    std::vector<NotificationObservation> m_observations;
};

TEST_F(IgnoredApplicationsControllerTest, BuiltInsAloneAreShownSortedByName)
{
    installBuiltIns();
    EXPECT_EQ(column(Table::kApplicationName), (std::vector<std::string>{"Address Book", "Moneydance", "V2C"}));
    EXPECT_EQ(table.numberOfRows(), 3);
    EXPECT_EQ(table.objectValueForTableColumn(Table::kPath, 0), Value("/usr/share/applications/addressbook.desktop"));
    EXPECT_EQ(table.toolTipForCell(Table::kLowercaseApplicationName, 0), "address book");
    EXPECT_TRUE(table.objectValueForTableColumn(Table::kPath, 3).isNull());
    EXPECT_EQ(table.ignoredAppsNames(), "Address Book, Moneydance, V2C");
}

TEST_F(IgnoredApplicationsControllerTest, TheSummaryNamesEachApplicationOnceOrSaysHowToFillTheList)
{
    storeList(Table::kIgnoredAppsKey, {"org.gnome.TextEditor", "Text Editor"});
    EXPECT_TRUE(table.data().empty());
    EXPECT_EQ(table.ignoredAppsNames(), "(set Velmora to not work in certain applications)");
    // Installed later, it shows up: what did not resolve is not cached.
    installEditor();
    EXPECT_EQ(table.numberOfRows(), 2);
    EXPECT_EQ(table.ignoredAppsNames(), "Text Editor");
}

TEST_F(IgnoredApplicationsControllerTest, EntriesUnderBothKeysShowOnceAndRemovalClearsBoth)
{
    installBuiltIns();
    installEditor();
    storeList(Table::kIgnoredAppsKey, {"org.gnome.TextEditor", "Moneydance"});
    storeList(Table::kLegacyIgnoredAppsKey, {"org.gnome.TextEditor"});
    table.updateUI();
    EXPECT_EQ(column(Table::kEntry), (std::vector<std::string>{"Address Book", "Moneydance", "org.gnome.TextEditor", "V2C"}));

    table.selectRow(rowOf("org.gnome.TextEditor"));
    ASSERT_TRUE(table.canRemoveSelectedRow());
    EXPECT_EQ(table.selectedAppMessage(), "");
    changes.clear();
    table.removeApplication();
    desktop.runPending();
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"Moneydance"}));
    EXPECT_EQ(stored(Table::kLegacyIgnoredAppsKey), Value(Value::Array{}));
    EXPECT_EQ(reloadOrders(), 1) << "both keys in one write, one order";
    EXPECT_EQ(table.selectedRow(), Table::kNoSelection);
    EXPECT_EQ(changes, (std::vector<std::string>{"canRemoveSelectedRow", "ignoredAppsNames"}));
    EXPECT_EQ(table.numberOfRows(), 3);
}

TEST_F(IgnoredApplicationsControllerTest, BuiltInEntriesCannotBeRemoved)
{
    installBuiltIns();
    storeList(Table::kIgnoredAppsKey, {"Moneydance", "V2C", "Address Book"}); // as the agent writes its merged list
    table.updateUI();
    table.selectRow(rowOf("V2C"));
    EXPECT_FALSE(table.canRemoveSelectedRow());
    EXPECT_EQ(table.selectedAppMessage(),
        "The application \"V2C\" is known to not work well with Velmora. It should not be removed from this list.");
    table.removeApplication();
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 0);
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"Moneydance", "V2C", "Address Book"}));

    table.selectRow(Table::kNoSelection);
    EXPECT_FALSE(table.canRemoveSelectedRow());
    EXPECT_EQ(table.selectedAppMessage(), "");
}

TEST_F(IgnoredApplicationsControllerTest, AddingWritesOnceForTheWholeChoiceAndNeverTwice)
{
    installEditor();
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.Calculator.desktop", "Calculator", "org.gnome.Calculator");
    desktop.applicationFinder().install("/opt/odd/odd.desktop", "Odd", ""); // a bundle without identifier

    EXPECT_TRUE(table.addApplicationsAtPaths({"/usr/share/applications/org.gnome.TextEditor.desktop", "/opt/odd/odd.desktop",
        "/nowhere", "/usr/share/applications/org.gnome.Calculator.desktop"}));
    desktop.runPending();
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"org.gnome.TextEditor", "org.gnome.Calculator"}));
    EXPECT_EQ(reloadOrders(), 1);

    changes.clear();
    EXPECT_FALSE(table.addApplicationsAtPaths({"/usr/share/applications/org.gnome.TextEditor.desktop"}));
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 1) << "nothing new: nothing written";
    EXPECT_EQ(changes, (std::vector<std::string>{"canRemoveSelectedRow", "ignoredAppsNames"})) << "but the table is reloaded";
}

TEST_F(IgnoredApplicationsControllerTest, AddingWhatOnlyTheOlderKeyHoldsCopiesItToTheNewKey)
{
    installEditor();
    storeList(Table::kLegacyIgnoredAppsKey, {"org.gnome.TextEditor"});
    EXPECT_TRUE(table.addApplicationsAtPaths({"/usr/share/applications/org.gnome.TextEditor.desktop"}));
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"org.gnome.TextEditor"}));
    EXPECT_EQ(stored(Table::kLegacyIgnoredAppsKey), Value(Value::Array{"org.gnome.TextEditor"}));
    EXPECT_EQ(table.numberOfRows(), 1);
}

TEST_F(IgnoredApplicationsControllerTest, AddingKeepsWhatAnotherProcessChangedMeanwhile)
{
    installEditor();
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.Calculator.desktop", "Calculator", "org.gnome.Calculator");
    storeList(Table::kIgnoredAppsKey, {"org.gnome.TextEditor"});
    table.updateUI(); // the list as this process last read it

    // Meanwhile another `velmora` removes the editor and adds something else.
    anotherProcessStores(Table::kIgnoredAppsKey, {"org.other.Added"});

    EXPECT_TRUE(table.addApplicationsAtPaths({"/usr/share/applications/org.gnome.Calculator.desktop"}));
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"org.other.Added", "org.gnome.Calculator"}))
        << "neither lost nor brought back";
}

TEST_F(IgnoredApplicationsControllerTest, RemovingKeepsWhatAnotherProcessAddedMeanwhile)
{
    installEditor();
    storeList(Table::kIgnoredAppsKey, {"org.gnome.TextEditor", "Moneydance"});
    storeList(Table::kLegacyIgnoredAppsKey, {"org.gnome.TextEditor"});
    table.updateUI();
    anotherProcessStores(Table::kIgnoredAppsKey, {"org.gnome.TextEditor", "Moneydance", "org.other.Added"});
    anotherProcessStores(Table::kLegacyIgnoredAppsKey, {"org.gnome.TextEditor", "org.other.Legacy"});

    EXPECT_TRUE(table.removeEntry("org.gnome.TextEditor"));
    desktop.runPending();
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"Moneydance", "org.other.Added"}));
    EXPECT_EQ(stored(Table::kLegacyIgnoredAppsKey), Value(Value::Array{"org.other.Legacy"}));
    EXPECT_EQ(reloadOrders(), 1) << "both keys in one write";

    // Gone meanwhile: nothing to write, and the answer says so.
    anotherProcessStores(Table::kIgnoredAppsKey, {"Moneydance"});
    EXPECT_FALSE(table.removeEntry("org.other.Added"));
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 1);
}

TEST_F(IgnoredApplicationsControllerTest, AnEntryAnotherProcessAddedMeanwhileIsNotAddedTwice)
{
    installEditor();
    table.updateUI();
    anotherProcessStores(Table::kIgnoredAppsKey, {"org.gnome.TextEditor"});
    EXPECT_FALSE(table.addApplicationsAtPaths({"/usr/share/applications/org.gnome.TextEditor.desktop"}));
    desktop.runPending();
    EXPECT_EQ(stored(Table::kIgnoredAppsKey), Value(Value::Array{"org.gnome.TextEditor"}));
    EXPECT_EQ(reloadOrders(), 0);
}

TEST_F(IgnoredApplicationsControllerTest, AFailedWriteAddsNothingAndIsCounted)
{
    installEditor();
    auto& store = dynamic_cast<sim::MemorySettingsStore&>(desktop.domainStore());
    store.setWritesFail(true);
    EXPECT_FALSE(table.addApplicationsAtPaths({"/usr/share/applications/org.gnome.TextEditor.desktop"}));
    EXPECT_EQ(prefs.failedPreferenceWrites(), 1);
    store.setWritesFail(false);
    desktop.runPending();
    EXPECT_EQ(reloadOrders(), 0);
    EXPECT_TRUE(stored(Table::kIgnoredAppsKey).isNull());
}

TEST_F(IgnoredApplicationsControllerTest, AnEntryTheSettingsFileCannotHoldIsNotOffered)
{
    desktop.applicationFinder().install("/usr/share/applications/bad.desktop", "Bad", "org.bad\x01" "App");
    EXPECT_FALSE(table.entryForPath("/usr/share/applications/bad.desktop"));
    EXPECT_FALSE(table.addApplicationsAtPaths({"/usr/share/applications/bad.desktop"}));
    EXPECT_EQ(prefs.failedPreferenceWrites(), 0);
    installEditor();
    EXPECT_EQ(table.entryForPath("/usr/share/applications/org.gnome.TextEditor.desktop"), "org.gnome.TextEditor");
}

// The cost of showing the list grows with its length, not its square: each
// unresolved entry is looked up a fixed number of times per build, a
// resolved one only once, and the table's cells are read from the rows built
// for its count.
TEST_F(IgnoredApplicationsControllerTest, ListingLooksEachEntryUpAFixedNumberOfTimes)
{
    installEditor();
    auto lookupsToList = [&](int entries) {
        Value::Array list{"org.gnome.TextEditor"};
        for (int i = 0; i < entries; ++i)
            list.push_back("org.example.Gone" + std::to_string(i));
        storeList(Table::kIgnoredAppsKey, list);
        table.data(); // the installed editor's row is cached from here on
        const int before = desktop.applicationFinder().lookupCount();
        table.data();
        return desktop.applicationFinder().lookupCount() - before;
    };
    // The three built-ins, not installed here, are looked up too.
    const int few = lookupsToList(1000);
    const int many = lookupsToList(4000);
    const int perEntry = few / 1003;
    EXPECT_EQ(few, perEntry * 1003);
    EXPECT_EQ(many, perEntry * 4003);
    EXPECT_GE(perEntry, 1);
    EXPECT_LE(perEntry, 3);

    const int rows = table.numberOfRows();
    const int beforeCells = desktop.applicationFinder().lookupCount();
    for (int row = 0; row < rows; ++row) {
        table.objectValueForTableColumn(Table::kApplicationName, row);
        table.objectValueForTableColumn(Table::kIcon, row);
    }
    EXPECT_EQ(desktop.applicationFinder().lookupCount(), beforeCells) << "cells are read from the rows as built";
    EXPECT_EQ(table.objectValueForTableColumn(Table::kApplicationName, 0), Value("Text Editor"));
}

} // namespace
