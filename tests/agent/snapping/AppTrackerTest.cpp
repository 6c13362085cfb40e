#include "agent/snapping/AppTracker.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/sim/MemorySettingsStore.h"
#include "platform/sim/SimDesktop.h"
#include "shared/preferences/VelmoraPreferences.h"
#include "support/DomainValues.h"
#include "support/ValuePrinting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace velmora {
namespace {

using ::testing::ElementsAre;

constexpr const char* kDomain = VelmoraPreferences::kDomain;

class AppTrackerTest : public ::testing::Test {
protected:
    // An application already running when the tracker starts.
    sim::SimApp& running(const std::string& name, std::optional<std::string> bundle = std::nullopt)
    {
        return desktop.addRunningApp(name, std::move(bundle), "/usr/bin/" + name);
    }

    // An application that has just been launched and does not answer
    // accessibility requests yet.
    sim::SimApp& launchUnresponsive(const std::string& name)
    {
        auto& app = running(name);
        app.accessible = false;
        postLaunch(app.info.record());
        return app;
    }

    void postLaunch(const Value::Dictionary& record)
    {
        desktop.workspace().notificationCenter().post(kApplicationLaunchedNotification, nullptr, record);
    }

    // The pane writes the shared domain from its own process, then announces it.
    void paneSetsIgnoredApps(Value::Array entries)
    {
        test::writeStoredValue(store, kDomain, VelmoraPreferences::kIgnoredApps, std::move(entries));
    }
    void preferencesUpdated() { desktop.localNotificationCenter().post(kPreferencesReloaded); }

    std::vector<std::string> storedStrings(const std::string& key)
    {
        std::vector<std::string> out;
        const Value stored = test::storedValue(store, kDomain, key);
        if (auto entries = stored.array()) {
            for (const auto& entry : *entries)
                out.push_back(entry.string() ? *entry.string() : "<not a string>");
        }
        return out;
    }

    long logCount(const std::string& line) const
    {
        const auto& lines = desktop.logLines();
        return std::count(lines.begin(), lines.end(), line);
    }

    static bool observes(const AppTracker& tracker, pid_t pid) { return tracker.observers().contains(pid); }

    sim::MemorySettingsStore store;
    sim::SimDesktop desktop { &store };
    ScopedPlatform scoped { desktop };
};

TEST_F(AppTrackerTest, ObservesRunningApplicationsAndTheSessionDialogsAtStart)
{
    auto& mail = running("Mail", "com.example.mail");
    auto& editor = running("Editor");
    pid_t locker = desktop.addBackgroundApp("xfce4-screensaver-dialog").info.pid;

    AppTracker tracker{desktop};

    ASSERT_EQ(tracker.observers().size(), 3u);
    const auto& mailInfo = tracker.observers().at(mail.info.pid)->appInfo();
    ASSERT_TRUE(mailInfo.has_value());
    EXPECT_EQ(*mailInfo, mail.info);
    EXPECT_TRUE(observes(tracker, editor.info.pid));
    EXPECT_FALSE(tracker.observers().at(locker)->appInfo().has_value());
}

TEST_F(AppTrackerTest, TheTwentyFirstAttemptIsTheLast)
{
    AppTracker tracker{desktop};
    auto& lastChance = launchUnresponsive("LastChance");
    auto& tooLate = launchUnresponsive("TooLate");

    // Both become observable between two attempts: one before the attempt
    // twenty seconds after launch, the other after it.
    desktop.advance(19.5);
    lastChance.accessible = true;
    desktop.advance(1.0);
    tooLate.accessible = true;
    desktop.advance(30.0);

    EXPECT_TRUE(observes(tracker, lastChance.info.pid));
    EXPECT_EQ(logCount("Could not connect to application \"LastChance\""), 0);
    EXPECT_FALSE(observes(tracker, tooLate.info.pid));
    EXPECT_EQ(logCount("Could not connect to application \"TooLate\""), 1);
}

TEST_F(AppTrackerTest, ARetryRecordsTheApplicationInfo)
{
    AppTracker tracker{desktop};
    auto& app = launchUnresponsive("Slowpoke");
    desktop.advance(3.5);
    app.accessible = true;
    desktop.advance(1.0);

    ASSERT_TRUE(observes(tracker, app.info.pid));
    // The tracker's own countdown key does not leak into the observer's record.
    EXPECT_EQ(tracker.observers().at(app.info.pid)->appInfo(), app.info);
}

TEST_F(AppTrackerTest, WithAccessibilityOffNothingIsObservedUntilAReload)
{
    desktop.setAPIEnabled(false);
    auto& mail = running("Mail");
    desktop.addBackgroundApp("mate-screensaver-dialog");

    AppTracker tracker{desktop};
    EXPECT_EQ(logCount("couldn't add mate-screensaver-dialog"), 1);
    desktop.advance(25.0);
    EXPECT_TRUE(tracker.observers().empty());
    EXPECT_EQ(logCount("Could not connect to application \"Mail\""), 1);
    EXPECT_EQ(logCount("couldn't add mate-screensaver-dialog"), 1); // no retry for it

    desktop.setAPIEnabled(true);
    desktop.advance(5.0);
    EXPECT_TRUE(tracker.observers().empty());
    preferencesUpdated();
    EXPECT_TRUE(observes(tracker, mail.info.pid));
    EXPECT_EQ(tracker.observers().size(), 2u);
}

TEST_F(AppTrackerTest, FirstStartStoresTheThreeBuiltInEntries)
{
    auto& moneydance = running("Moneydance");

    AppTracker tracker{desktop};

    EXPECT_THAT(storedStrings("ignoredApps"), ElementsAre("Address Book", "Moneydance", "V2C"));
    EXPECT_TRUE(test::storedValue(store, kDomain, "QK.velmora.ignoredApps").isNull());
    // Observed before the list existed; dropped at the next reload.
    EXPECT_TRUE(observes(tracker, moneydance.info.pid));
    preferencesUpdated();
    EXPECT_FALSE(observes(tracker, moneydance.info.pid));
}

TEST_F(AppTrackerTest, EveryStartMergesTheLegacyAndBuiltInEntriesBack)
{
    test::writeStoredValue(store, kDomain, "QK.velmora.ignoredApps", Value::Array {"Legacy", "V2C"});
    paneSetsIgnoredApps({"Zed", "Zed", "com.example.app"});

    auto tracker = std::make_unique<AppTracker>(desktop);
    EXPECT_THAT(storedStrings("ignoredApps"), ElementsAre("Address Book", "Legacy", "Moneydance", "V2C", "Zed", "com.example.app"));
    EXPECT_THAT(storedStrings("QK.velmora.ignoredApps"), ElementsAre("Legacy", "V2C"));

    // The pane removes entries from the current list, the built-ins included.
    paneSetsIgnoredApps({"Zed"});
    tracker.reset();
    tracker = std::make_unique<AppTracker>(desktop);
    EXPECT_THAT(storedStrings("ignoredApps"), ElementsAre("Address Book", "Legacy", "Moneydance", "V2C", "Zed"));
    EXPECT_THAT(storedStrings("QK.velmora.ignoredApps"), ElementsAre("Legacy", "V2C"));
}

TEST_F(AppTrackerTest, IgnoredListReadsLegacyEntriesFirst)
{
    test::writeStoredValue(store, kDomain, "QK.velmora.ignoredApps", Value::Array {"Old", 7, "Older"});
    AppTracker tracker{desktop};
    paneSetsIgnoredApps({"New"});
    desktop.standardUserDefaults().synchronize();

    EXPECT_THAT(tracker.ignoredApps(), ElementsAre("Old", "Older", "New"));
}

TEST_F(AppTrackerTest, IgnoresByNameOrBundleIdentifier)
{
    test::writeStoredValue(store, kDomain, "QK.velmora.ignoredApps", Value::Array {"com.example.legacy"});
    paneSetsIgnoredApps({"Named", "com.example.bundled"});
    auto& named = running("Named");
    auto& bundled = running("Bundled", "com.example.bundled");
    auto& legacy = running("Legacy", "com.example.legacy");
    auto& lowerName = running("named");

    AppTracker tracker{desktop};

    EXPECT_FALSE(observes(tracker, named.info.pid));
    EXPECT_FALSE(observes(tracker, bundled.info.pid));
    EXPECT_FALSE(observes(tracker, legacy.info.pid));
    EXPECT_TRUE(observes(tracker, lowerName.info.pid));
    EXPECT_TRUE(desktop.logLines().empty());
}

TEST_F(AppTrackerTest, ReloadDropsAnApplicationThePaneNowIgnores)
{
    auto& mail = running("Mail", "com.example.mail");
    auto& editor = running("Editor");
    AppTracker tracker{desktop};
    ASSERT_TRUE(observes(tracker, mail.info.pid));

    paneSetsIgnoredApps({"com.example.mail"});
    EXPECT_TRUE(observes(tracker, mail.info.pid)); // only the announcement triggers a rebuild
    preferencesUpdated();

    EXPECT_FALSE(observes(tracker, mail.info.pid));
    EXPECT_TRUE(observes(tracker, editor.info.pid));
}

TEST_F(AppTrackerTest, FirstCheckSnapsToTheFrontmostDialogAndALaunchOfAnObservedApplicationOnlyReplacesItsInfo)
{
    auto& app = running("Editor");
    auto dialog = app.addDialog("Save changes?");
    desktop.activate(app);
    desktop.focusWindow(app, dialog);
    AppTracker tracker{desktop};
    ASSERT_EQ(desktop.pointerMoves().size(), 1u) << "the first check snaps to the open dialog";
    const FocusedWindowObserver* before = tracker.observers().at(app.info.pid).get();

    ApplicationInfo renamed = app.info;
    renamed.name = "Editor Pro";
    postLaunch(renamed.record());

    ASSERT_EQ(tracker.observers().at(app.info.pid).get(), before);
    EXPECT_EQ(before->appInfo(), renamed);
    EXPECT_EQ(tracker.observers().size(), 1u);
    // A fresh observer would have taken the open dialog for new and snapped again.
    EXPECT_EQ(desktop.pointerMoves().size(), 1u);
}

TEST_F(AppTrackerTest, TerminationDestroysTheObserver)
{
    auto& mail = running("Mail");
    auto& editor = running("Editor");
    AppTracker tracker{desktop};
    auto& workspaceCenter = desktop.workspace().notificationCenter();
    const size_t subscriptions = workspaceCenter.observerCount();

    desktop.terminate(mail.info.pid);

    EXPECT_FALSE(tracker.observers().contains(mail.info.pid));
    EXPECT_TRUE(observes(tracker, editor.info.pid));
    // The observer's own workspace subscriptions went with it.
    EXPECT_LT(workspaceCenter.observerCount(), subscriptions);
}

TEST_F(AppTrackerTest, ARetryAfterTheApplicationQuitKeepsCountingDown)
{
    AppTracker tracker{desktop};
    auto& app = launchUnresponsive("Quitter");
    const pid_t pid = app.info.pid;
    desktop.advance(5.0);
    desktop.terminate(pid);

    desktop.advance(14.5);
    EXPECT_EQ(logCount("Could not connect to application \"Quitter\""), 0);
    desktop.advance(1.0);
    EXPECT_EQ(logCount("Could not connect to application \"Quitter\""), 1);
    EXPECT_FALSE(observes(tracker, pid));
}

TEST_F(AppTrackerTest, SessionDialogsAreObservedEvenWhenIgnored)
{
    paneSetsIgnoredApps({"kscreenlocker_greet", "xfce4-session-logout", "Editor"});
    pid_t locker = desktop.addBackgroundApp("kscreenlocker_greet").info.pid;

    AppTracker tracker{desktop};
    EXPECT_TRUE(observes(tracker, locker));
    preferencesUpdated();
    EXPECT_TRUE(observes(tracker, locker));

    // The log-out dialog comes up later, as a launched application; an
    // ignored ordinary application launched beside it stays unobserved.
    auto& logout = running("xfce4-session-logout");
    postLaunch(logout.info.record());
    auto& editor = running("Editor");
    postLaunch(editor.info.record());
    EXPECT_TRUE(observes(tracker, logout.info.pid));
    EXPECT_FALSE(observes(tracker, editor.info.pid));
}

TEST_F(AppTrackerTest, AnUnobservableSessionDialogIsReportedOnceAndNotRetried)
{
    desktop.addProcess("xfce4-screensaver-dialog"); // no accessibility tree
    AppTracker tracker{desktop};
    desktop.advance(30.0);
    EXPECT_EQ(logCount("couldn't add xfce4-screensaver-dialog"), 1);
    EXPECT_TRUE(tracker.observers().empty());
}

TEST_F(AppTrackerTest, DestructionUnsubscribesAndDisarmsPendingRetries)
{
    auto& workspaceCenter = desktop.workspace().notificationCenter();
    auto& localCenter = desktop.localNotificationCenter();
    const size_t workspaceBefore = workspaceCenter.observerCount();
    const size_t localBefore = localCenter.observerCount();

    auto tracker = std::make_unique<AppTracker>(desktop);
    auto& app = launchUnresponsive("Slowpoke");
    desktop.advance(2.5);
    tracker.reset();

    EXPECT_EQ(workspaceCenter.observerCount(), workspaceBefore);
    EXPECT_EQ(localCenter.observerCount(), localBefore);
    // The pending retry comes due with no tracker: had it reached the freed
    // one, it would observe the now answering application.
    app.accessible = true;
    desktop.advance(30.0);
    postLaunch(running("Late").info.record());
    preferencesUpdated();
    EXPECT_EQ(workspaceCenter.observerCount(), workspaceBefore);
    EXPECT_EQ(logCount("Could not connect to application \"Slowpoke\""), 0);
}

} // namespace
} // namespace velmora
