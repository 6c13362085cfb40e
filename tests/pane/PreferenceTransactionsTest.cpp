// Every edit of a stored value computed from what was stored (a list with an
// entry added or removed, a default stored where nothing was) is one locked
// read-modify-write, in the pane and in the agent alike: what another
// process changed between this process's last read and its write is kept.

#include "agent/snapping/AppTracker.h"
#include "pane/CommandScene.h"
#include "pane/AgentController.h"
#include "pane/VelmoraCommand.h"
#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <sstream>

using namespace velmora;

namespace {

constexpr const char* kDomain = VelmoraPreferences::kDomain;

// A store over memory where another process's write lands just before each
// of ours: it got the lock first. Reads see what is stored, like the files.
class InterleavingStore final : public SettingsStore {
public:
    std::optional<Value::Dictionary> read(const std::string& domain) override { return m_inner.read(domain); }
    bool update(const std::string& domain, const Change& change) override
    {
        if (m_before) {
            auto before = std::exchange(m_before, nullptr);
            m_inner.update(domain, [&](std::optional<Value::Dictionary>& stored) {
                if (!stored)
                    stored.emplace();
                before(*stored);
                return true;
            });
        }
        return m_inner.update(domain, change);
    }

    // Runs at the start of the next update, as another process's write.
    void beforeNextUpdate(std::function<void(Value::Dictionary&)> write) { m_before = std::move(write); }
    sim::MemorySettingsStore& inner() { return m_inner; }

private:
    sim::MemorySettingsStore m_inner;
    std::function<void(Value::Dictionary&)> m_before;
};

Value storedValue(SettingsStore& store, const char* key)
{
    auto domain = store.read(kDomain);
    return domain ? valueForKey(*domain, key) : Value();
}

TEST(PreferenceTransactionsTest, AFirstReadStoresTheDefaultOnlyWhereNothingWasStoredMeanwhile)
{
    InterleavingStore store;
    sim::SimDesktop desktop(&store);
    ScopedPlatform scoped(desktop);
    AgentController controller{AgentController::Services::of(desktop)};
    desktop.standardUserDefaults().synchronize(); // the domain read, without the volume

    // Between that read and the default's write, `velmora set` stores 0.5.
    store.beforeNextUpdate([](Value::Dictionary& domain) { domain[VelmoraPreferences::kFeedbackSoundVolume] = 0.5; });
    EXPECT_FLOAT_EQ(controller.feedbackSoundVolume(), 0.5f);
    EXPECT_EQ(storedValue(store, VelmoraPreferences::kFeedbackSoundVolume), Value(0.5)) << "the default overwrote it";

    // Absent under the lock too: the default is stored.
    EXPECT_EQ(controller.feedbackSoundName(), "Bottle");
    EXPECT_EQ(storedValue(store, VelmoraPreferences::kFeedbackSoundName), Value("Bottle"));
}

TEST(PreferenceTransactionsTest, AnEditWritesOnlyWhatItChangedAndOrdersOneReload)
{
    sim::SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    AgentController controller{AgentController::Services::of(desktop)};
    const auto& sent = desktop.agentOrdersSent();
    auto reloads = [&] { return std::count(sent.begin(), sent.end(), std::string("reload")); };

    auto& memory = dynamic_cast<sim::MemorySettingsStore&>(desktop.domainStore());
    const int writes = memory.writeCount();
    EXPECT_TRUE(controller.updatePrefs([](Value::Dictionary&) { return false; }));
    desktop.runPending();
    EXPECT_EQ(memory.writeCount(), writes);
    EXPECT_EQ(reloads(), 0);

    EXPECT_TRUE(controller.updatePrefs([](Value::Dictionary& prefs) {
        prefs["ignoredApps"] = Value::Array{"Mail"};
        prefs["QK.velmora.ignoredApps"] = Value::Array{};
        return true;
    }));
    desktop.runPending();
    EXPECT_EQ(memory.writeCount(), writes + 1);
    EXPECT_EQ(reloads(), 1);
    EXPECT_EQ(controller.prefForKey("ignoredApps"), Value(Value::Array{"Mail"}));

    memory.setWritesFail(true);
    EXPECT_FALSE(controller.updatePrefs([](Value::Dictionary& prefs) {
        prefs["ignoredApps"] = Value::Array{};
        return true;
    }));
    desktop.runPending();
    EXPECT_EQ(controller.failedPreferenceWrites(), 1);
    EXPECT_EQ(reloads(), 1) << "a failed write orders no reload";
    EXPECT_EQ(controller.prefForKey("ignoredApps"), Value(Value::Array{"Mail"}));
}

TEST(PreferenceTransactionsTest, TheAgentMergesTheBuiltInsIntoTheListAsStoredWhenItWrites)
{
    InterleavingStore store;
    store.inner().update(kDomain, [](std::optional<Value::Dictionary>& domain) {
        domain = Value::Dictionary{{VelmoraPreferences::kIgnoredApps, Value::Array{"org.gnome.TextEditor"}}};
        return true;
    });
    sim::SimDesktop desktop(&store);
    ScopedPlatform scoped(desktop);
    // The agent has read the list; before it writes the merged one, the
    // pane removes the editor and adds the calculator.
    store.beforeNextUpdate([](Value::Dictionary& domain) {
        domain[VelmoraPreferences::kIgnoredApps] = Value::Array{"org.gnome.Calculator"};
    });
    AppTracker tracker{desktop};
    EXPECT_EQ(storedValue(store, VelmoraPreferences::kIgnoredApps),
        Value(Value::Array{"Address Book", "Moneydance", "V2C", "org.gnome.Calculator"}));

    // Already merged: nothing is written again.
    const int writes = store.inner().writeCount();
    AppTracker again{desktop};
    EXPECT_EQ(store.inner().writeCount(), writes);
}

class CommandTransactionsTest : public scenes::CommandScene { };

TEST_F(CommandTransactionsTest, SetRefusesTextTheSettingsFileCannotHold)
{
    ASSERT_EQ(velmora({"set", "ignoredApps", "Mail"}), 0);
    const auto before = storedDomain();
    for (const std::string text : {"Mail,Fin\x01" "der", "Caf\xe9", "tab\tok,esc\x1b[0m"}) {
        EXPECT_EQ(velmora({"set", "ignoredApps", text}), VelmoraCommand::kExitUsage);
        EXPECT_NE(errors.find("\"ignoredApps\" cannot hold this value: the settings file takes only UTF-8 text without control characters"),
            std::string::npos) << errors;
        EXPECT_EQ(errors.find(text), std::string::npos) << "the raw text is not echoed";
    }
    EXPECT_EQ(velmora({"set", "feedbackSoundName", "Bottle\x7f"}), VelmoraCommand::kExitUsage);
    EXPECT_EQ(storedDomain(), before);
    EXPECT_EQ(velmora({"set", "ignoredApps", "Caf\xc3\xa9,Line\nbreak"}), 0) << "UTF-8 and line breaks are text";
}

TEST_F(CommandTransactionsTest, IgnoreAddReportsWhatTheStoredListHeldUnderTheLock)
{
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.TextEditor.desktop", "Text Editor", "org.gnome.TextEditor");
    // Another `velmora ignore add` got there first, after this one's last read.
    desktop.domainStore().update(kDomain, [](std::optional<Value::Dictionary>& domain) {
        domain.emplace();
        (*domain)[VelmoraPreferences::kIgnoredApps] = Value::Array{"org.gnome.TextEditor"};
        return true;
    });
    EXPECT_EQ(velmora({"ignore", "add", "Text Editor"}), 0) << errors;
    EXPECT_EQ(output, "Text Editor is already ignored\n");
    EXPECT_EQ(stored(VelmoraPreferences::kIgnoredApps), Value(Value::Array{"org.gnome.TextEditor"}));

    // A failed write is one whether or not the entry was new.
    auto& memory = dynamic_cast<sim::MemorySettingsStore&>(desktop.domainStore());
    desktop.applicationFinder().install("/usr/share/applications/org.gnome.Calculator.desktop", "Calculator", "org.gnome.Calculator");
    memory.setWritesFail(true);
    EXPECT_EQ(velmora({"ignore", "add", "Calculator"}), VelmoraCommand::kExitNotWritten);
    EXPECT_EQ(output, "");
    memory.setWritesFail(false);
}

} // namespace
