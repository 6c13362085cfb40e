#include "pane/BGAppController.h"
#include "pane/ControlProtocolScene.h"
#include "pane/PaneWindow.h"
#include "pane/VelmoraPref.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

class TestWindow final : public PaneWindow {
public:
    void activateAndOrderFront() override { ++raised; }
    int raised{0};
};

class BGAppControllerTest : public scenes::ControlProtocolScene {
protected:
    BGAppControllerTest() { pane.setWindow(&window); }

    // The domain as a pane of the same version left it.
    void storeCurrentVersion()
    {
        desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", controller().currentVersionString()}}, kDomain);
    }

    VelmoraBGController& controller() { return pane.prefsController(); }

    TestWindow window;
    VelmoraPref pane;
};

TEST_F(BGAppControllerTest, WithoutAnAnswerTheTimeOutReportsNotRunning)
{
    storeCurrentVersion();
    controller().setupUI();
    EXPECT_TRUE(controller().waitingForResponse());
    EXPECT_FALSE(controller().canRun());

    desktop.advance(1.9);
    EXPECT_TRUE(controller().waitingForResponse()) << "the time-out came early";
    desktop.advance(0.2);
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().waitingForResponse());
    EXPECT_FALSE(controller().shouldRun());
    EXPECT_EQ(delivered(ZQK_VelmoraAreYouRunning), 1);
    EXPECT_EQ(delivered(ZQK_VelmoraMustQuitNotification), 0);
}

TEST_F(BGAppControllerTest, AnAnswerCancelsEveryPendingTimeOut)
{
    storeCurrentVersion();
    startAgent();
    desktop.runPending(); // the announcement went out before the pane listened
    controller().setupUI();
    controller().setupUI(); // shown twice: two queries, two time-outs
    desktop.advance(0.5);
    EXPECT_TRUE(controller().isRunning());
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_FALSE(controller().waitingForResponse());
    EXPECT_EQ(delivered(ZQK_VelmoraAreYouRunning), 2);
    EXPECT_GE(window.raised, 1);

    desktop.advance(5);
    EXPECT_TRUE(controller().isRunning()) << "a time-out survived the answer";
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_TRUE(desktop.paneServices().launches().empty()) << "the switch followed the agent and must not launch";
}

TEST_F(BGAppControllerTest, ALateAnnouncementStillTurnsThePaneToRunning)
{
    storeCurrentVersion();
    controller().setupUI();
    desktop.advance(3);
    ASSERT_FALSE(controller().isRunning());

    // Started some other way, e.g. at login, while the pane is open.
    startAgent();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning());
    EXPECT_TRUE(controller().shouldRun());
    EXPECT_EQ(delivered(ZQK_VelmoraAreYouRunning), 1) << "no query is needed for an announcement";
    EXPECT_TRUE(desktop.paneServices().launches().empty());
}

TEST_F(BGAppControllerTest, VersionCheckOrdersAnOldAgentToQuit)
{
    // First opening on an account without the domain.
    controller().checkForVersionChange();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraMustQuitNotification), 1);
    EXPECT_EQ(stored("currentVersion"), Value(controller().currentVersionString()));

    // Same version: nothing written, nothing sent.
    desktop.standardUserDefaults().updatePersistentDomain(kDomain, [](std::optional<Value::Dictionary>& domain) {
        (*domain)["marker"] = 1;
        return true;
    });
    controller().checkForVersionChange();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraMustQuitNotification), 1);

    // After an update: the stored version differs.
    desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", "0.9"}, {"playsSoundOnMove", 1}}, kDomain);
    controller().checkForVersionChange();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraMustQuitNotification), 2);
    EXPECT_EQ(stored("currentVersion"), Value(controller().currentVersionString()));
    EXPECT_EQ(stored("playsSoundOnMove"), Value(1)) << "the other keys must survive";

    // A domain without the key only gets the key.
    desktop.standardUserDefaults().setPersistentDomain({{"playsSoundOnMove", 1}}, kDomain);
    controller().checkForVersionChange();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraMustQuitNotification), 2);
    EXPECT_EQ(stored("currentVersion"), Value(controller().currentVersionString()));
}

TEST_F(BGAppControllerTest, OpeningAfterAnUpdateStopsTheRunningAgent)
{
    desktop.standardUserDefaults().setPersistentDomain({{"currentVersion", "0.9"}}, kDomain);
    startAgent();
    desktop.runPending();
    controller().setupUI();
    desktop.advance(3);
    EXPECT_TRUE(desktop.terminated());
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().shouldRun());
    EXPECT_FALSE(controller().waitingForResponse());
}

TEST_F(BGAppControllerTest, OneQuitOrderReachesTwoAgentsAndTheSecondNoticeChangesNothing)
{
    storeCurrentVersion();
    startAgent();
    startAgent();
    controller().setupUI();
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraIsRunningNotification), 4); // two announcements, two answers
    ASSERT_TRUE(controller().isRunning());

    std::vector<std::string> changes;
    auto observation = controller().addObserver("isRunning", [&](const std::string& key) { changes.push_back(key); });
    controller().setShouldRun(false);
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraMustQuitNotification), 1);
    EXPECT_GE(delivered(ZQK_VelmoraWillTerminate), 2); // both agents took the order
    EXPECT_EQ(changes.size(), 1u) << "later notices must not flip the state again";
    EXPECT_FALSE(controller().isRunning());
    EXPECT_FALSE(controller().waitingForResponse());
}

TEST_F(BGAppControllerTest, StopListeningDropsTheSubscriptionsHidingDoesNot)
{
    storeCurrentVersion();
    pane.didSelect();
    desktop.advance(3);
    pane.didUnselect();
    startAgent();
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning()) << "a hidden pane still listens";

    controller().closePrefpane();
    desktop.distributedNotificationCenter().postNotificationName(ZQK_VelmoraWillTerminate);
    desktop.runPending();
    EXPECT_TRUE(controller().isRunning());
}

TEST_F(BGAppControllerTest, EachWriteKeepsTheOtherKeysAndSendsOneReloadOrder)
{
    storeCurrentVersion();
    controller().setPrefOfKey("SoundToPlayIndex", 3);
    controller().setPrefOfKey("feedbackSoundName", "Glass");
    desktop.runPending();
    EXPECT_EQ(delivered(ZQK_VelmoraMustUpdatePrefsNotification), 2);
    EXPECT_EQ(stored("currentVersion"), Value(controller().currentVersionString()));
    EXPECT_EQ(stored("SoundToPlayIndex"), Value(3));
    EXPECT_EQ(controller().prefForKey("feedbackSoundName"), Value("Glass"));
    EXPECT_TRUE(controller().prefHasKey("SoundToPlayIndex"));
    EXPECT_FALSE(controller().prefHasKey("playsSoundOnMove"));
    EXPECT_TRUE(controller().prefForKey("playsSoundOnMove").isNull());
}

TEST_F(BGAppControllerTest, SelectingThePaneStartsThePulsingAfterATenthOfASecond)
{
    storeCurrentVersion();
    std::vector<std::pair<std::string, double>> posts;
    auto start = desktop.localNotificationCenter().addObserver(VelmoraPref::kStartAnimatingNotification, &pane,
        [&](const Notification& n) { posts.emplace_back(n.name, desktop.now()); });
    auto stop = desktop.localNotificationCenter().addObserver(VelmoraPref::kStopAnimatingNotification, &pane,
        [&](const Notification& n) { posts.emplace_back(n.name, desktop.now()); });
    const double selected = desktop.now();
    pane.didSelect();
    desktop.advance(0.05);
    EXPECT_TRUE(posts.empty());
    desktop.advance(0.1);
    pane.didUnselect();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].first, VelmoraPref::kStartAnimatingNotification);
    EXPECT_NEAR(posts[0].second - selected, 0.1, 1e-9);
    EXPECT_EQ(posts[1].first, VelmoraPref::kStopAnimatingNotification);
}

} // namespace
