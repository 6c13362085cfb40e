#include "agent/snapping/FocusedWindowObserver.h"
#include "agent/snapping/SnapEvent.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/sim/SimDesktop.h"
#include "support/ForwardingPlatform.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

using sim::SimApp;
using sim::SimDesktop;
using sim::SimNode;
using NodePtr = std::shared_ptr<SimNode>;

constexpr const char* kBundlePath = "/opt/velmora/VelmoraBG.app";
constexpr Point kRestingPointer{10, 10};
constexpr Point kButtonOrigin{300, 400};
constexpr Size kButtonSize{80, 20};
// 15 points left of the right edge, vertically centred, at scale 1.
constexpr Point kSnapTarget{365, 410};
// Window frames hold their buttons 100 points in from their top-left corner.
constexpr Size kWindowSize{400, 200};

// The user's hand while the agent waits on the mouse buttons: at the first
// poll the pointer travels by `drift`. Everything else is the simulated desktop.
class DriftDuringWait final : public ForwardingPlatform, private Pointer {
public:
    DriftDuringWait(SimDesktop& desktop, Point drift) : ForwardingPlatform(desktop), m_drift(drift) { }

    Pointer& pointer() override { return *this; }

private:
    void moveTo(Point point) override { m_desktop.pointer().moveTo(point); }
    Point location() override { return m_desktop.pointer().location(); }
    bool anyButtonDown() override
    {
        if (!m_moved) {
            m_moved = true;
            Point at = m_desktop.pointer().location();
            m_desktop.userMovesPointer({at.x + m_drift.x, at.y + m_drift.y});
        }
        return m_desktop.pointer().anyButtonDown();
    }

    Point m_drift;
    bool m_moved{false};
};

// The simulated desktop, except that every read about one window goes
// unanswered, as when an application hangs in the middle of a snap.
class WindowHangs final : public ForwardingPlatform, private Accessibility {
public:
    WindowHangs(SimDesktop& desktop, AccessibleElement window) : ForwardingPlatform(desktop), m_window(std::move(window)) { }
    int windowRequests() const { return m_windowRequests; }

    Accessibility& accessibility() override { return *this; }

private:
    Accessibility& real() { return m_desktop.accessibility(); }
    bool isTheWindow(const AccessibleElement& element)
    {
        if (!(element == m_window))
            return false;
        ++m_windowRequests;
        return true;
    }
    bool isAPIEnabled() override { return real().isAPIEnabled(); }
    AccessibleElement createApplication(pid_t pid) override { return real().createApplication(pid); }
    AccessibleElement createSystemWide() override { return real().createSystemWide(); }
    AccessibilityError copyAttributeNames(const AccessibleElement& element, std::vector<std::string>& names) override
    {
        return isTheWindow(element) ? AccessibilityError::CannotComplete : real().copyAttributeNames(element, names);
    }
    AccessibilityError copyAttributeValue(const AccessibleElement& element, const std::string& attribute, AttributeValue& value) override
    {
        return isTheWindow(element) ? AccessibilityError::CannotComplete : real().copyAttributeValue(element, attribute, value);
    }
    AccessibilityError copyElementAtPosition(const AccessibleElement& element, float x, float y, AccessibleElement& result) override
    {
        return real().copyElementAtPosition(element, x, y, result);
    }
    AccessibilityError getPid(const AccessibleElement& element, pid_t& pid) override { return real().getPid(element, pid); }
    AccessibilityError createObserver(pid_t pid, AccessibilityObserver::Callback callback, std::unique_ptr<AccessibilityObserver>& observer) override
    {
        return real().createObserver(pid, std::move(callback), observer);
    }

    AccessibleElement m_window;
    int m_windowRequests{0};
};

// What the observer is made with: the simulated desktop, except for the
// services of the stand-in a test puts in for a while.
class BendablePlatform final : public ForwardingPlatform {
public:
    using ForwardingPlatform::ForwardingPlatform;
    Accessibility& accessibility() override { return m_bent ? m_bent->accessibility() : m_desktop.accessibility(); }
    Pointer& pointer() override { return m_bent ? m_bent->pointer() : m_desktop.pointer(); }

    // Puts `standIn` in for its lifetime.
    class Bend {
    public:
        Bend(BendablePlatform& platform, Platform& standIn) : m_platform(platform) { m_platform.m_bent = &standIn; }
        ~Bend() { m_platform.m_bent = nullptr; }
        Bend(const Bend&) = delete;
        Bend& operator=(const Bend&) = delete;

    private:
        BendablePlatform& m_platform;
    };

private:
    Platform* m_bent{nullptr};
};

class FocusedWindowObserverTest : public ::testing::Test {
protected:
    FocusedWindowObserverTest()
    {
        desktop.setProgramPath(kBundlePath);
        desktop.userMovesPointer(kRestingPointer);
    }

    // The observer as the tracker makes it: record set, first check made.
    void observe(SimApp& app)
    {
        observer = FocusedWindowObserver::create(platform, app.info.pid);
        ASSERT_NE(observer, nullptr);
        observer->setAppInfo(app.info);
        observer->checkWindows();
    }
    // A running, frontmost application under observation.
    SimApp& launchObserved(const std::string& name)
    {
        SimApp& app = desktop.launch(name);
        desktop.activate(app);
        desktop.runPending();
        observe(app);
        return app;
    }
    // A window whose default button is at `origin`, not yet focused.
    static NodePtr buildDialog(SimApp& app, const std::string& title, Point origin = kButtonOrigin)
    {
        NodePtr window = app.addWindow(title, {origin.x - 100, origin.y - 100}, kWindowSize);
        NodePtr button = window->addButton("OK", origin, kButtonSize);
        window->setAttribute("AXDefaultButton", button->element());
        return window;
    }
    NodePtr openDialog(SimApp& app, const std::string& title, Point origin = kButtonOrigin)
    {
        NodePtr window = buildDialog(app, title, origin);
        focus(app, window);
        return window;
    }
    void focus(SimApp& app, const NodePtr& window)
    {
        desktop.focusWindow(app, window, true);
        desktop.runPending();
    }
    // Focus moving within the focused window.
    void focusElementChanged(SimApp& app)
    {
        desktop.postAXNotification(app, "AXFocusedUIElementChanged", app.root->element());
        desktop.runPending();
    }

    size_t snaps() const { return desktop.pointerMoves().size(); }

    SimDesktop desktop;
    ScopedPlatform scoped{desktop};
    BendablePlatform platform{desktop};
    std::unique_ptr<FocusedWindowObserver> observer;
    std::vector<SnapEvent> posted;
    NotificationObservation postedObservation = desktop.localNotificationCenter().addObserver(
        kPointerSnapped, nullptr, [this](const Notification& n) {
            EXPECT_EQ(n.object, nullptr);
            const SnapEvent* snap = n.payloadAs<SnapEvent>();
            ASSERT_NE(snap, nullptr) << "a snap always carries its event";
            posted.push_back(*snap);
        });
};

TEST_F(FocusedWindowObserverTest, SnapsOncePerNewlyFocusedWindowAndAgainAfterComingBack)
{
    SimApp& app = launchObserved("Text Editor");
    EXPECT_FALSE(observer->firstTime());
    EXPECT_EQ(observer->description(), "FocusedWindowObserver - Text Editor (" + std::to_string(app.info.pid) + ")");
    auto recordless = FocusedWindowObserver::create(platform, app.info.pid);
    ASSERT_NE(recordless, nullptr);
    EXPECT_EQ(recordless->description(), "FocusedWindowObserver - (null) ((null))");
    recordless.reset();

    NodePtr dialog = openDialog(app, "Save");
    ASSERT_EQ(snaps(), 1u);
    EXPECT_EQ(desktop.pointerMoves()[0].to, kSnapTarget);
    EXPECT_EQ(observer->lastFocusedWindow(), dialog->element());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].from, (Point{10, 10}));
    EXPECT_EQ(posted[0].to, kSnapTarget);
    ASSERT_EQ(dialog->children().size(), 1u);
    EXPECT_EQ(posted[0].button, dialog->children()[0]->element());

    focusElementChanged(app);
    EXPECT_EQ(snaps(), 1u);

    // Deactivation forgets the window, so coming back snaps to it again.
    SimApp& other = desktop.launch("Other");
    desktop.activate(other);
    desktop.runPending();
    EXPECT_TRUE(observer->lastFocusedWindow().isEmpty());
    desktop.userMovesPointer(kRestingPointer);
    desktop.activate(app);
    desktop.runPending();
    EXPECT_EQ(snaps(), 2u);
    EXPECT_EQ(posted.size(), 2u);
}

TEST_F(FocusedWindowObserverTest, WindowIsSeenEvenWhenItHasNoButton)
{
    SimApp& app = launchObserved("Notes");
    NodePtr plain = app.addWindow("Plain", {kButtonOrigin.x - 100, kButtonOrigin.y - 100}, kWindowSize);
    focus(app, plain);
    EXPECT_EQ(observer->lastFocusedWindow(), plain->element());

    // A default button gained later is not chased ...
    NodePtr late = plain->addButton("OK", kButtonOrigin, kButtonSize);
    plain->setAttribute("AXDefaultButton", late->element());
    focusElementChanged(app);
    EXPECT_EQ(snaps(), 0u);

    // ... until another window has had the focus.
    openDialog(app, "Other");
    desktop.userMovesPointer(kRestingPointer);
    focus(app, plain);
    EXPECT_EQ(snaps(), 2u);
}

TEST_F(FocusedWindowObserverTest, BusyMouseHoldsOffTheSnap)
{
    SimApp& app = launchObserved("Mail");

    // Three points of travel: the user is moving the pointer. Not snapped
    // now, and not later either, as the window counts as seen.
    {
        DriftDuringWait hand(desktop, {0, 3});
        BendablePlatform::Bend handOnMouse(platform, hand);
        openDialog(app, "Drifted");
    }
    EXPECT_EQ(snaps(), 0u);
    focusElementChanged(app);
    EXPECT_EQ(snaps(), 0u);

    // Two points in each axis is a resting hand.
    {
        DriftDuringWait hand(desktop, {2, -2});
        BendablePlatform::Bend handOnMouse(platform, hand);
        openDialog(app, "Steady");
    }
    EXPECT_EQ(snaps(), 1u);

    // A button released within the five seconds: snapped on release.
    desktop.userMovesPointer(kRestingPointer);
    const double heldAt = desktop.now();
    desktop.holdMouseButton(3.0);
    openDialog(app, "Held");
    ASSERT_EQ(snaps(), 2u);
    EXPECT_NEAR(desktop.pointerMoves().back().time - heldAt, 3.0, 0.05);

    // Held past them: given up, and the window counts as seen.
    desktop.userMovesPointer(kRestingPointer);
    desktop.holdMouseButton(6.0);
    openDialog(app, "HeldTooLong");
    EXPECT_EQ(snaps(), 2u);
    desktop.advance(2.0);
    focusElementChanged(app);
    EXPECT_EQ(snaps(), 2u);
}

TEST_F(FocusedWindowObserverTest, SleepingDisplaysIgnoreFocusChangesWithoutRememberingThem)
{
    SimApp& app = launchObserved("Word Processor");
    desktop.sleepDisplays();
    desktop.runPending();
    EXPECT_TRUE(observer->displaysAsleep());

    openDialog(app, "Print");
    EXPECT_EQ(snaps(), 0u);
    EXPECT_TRUE(observer->lastFocusedWindow().isEmpty());

    desktop.wakeDisplays();
    desktop.runPending();
    EXPECT_FALSE(observer->displaysAsleep());
    focusElementChanged(app);
    EXPECT_EQ(snaps(), 1u);
}

TEST_F(FocusedWindowObserverTest, HiddenOrBackgroundApplications)
{
    // Not frontmost: nothing happens and the first check is still to come.
    SimApp& background = desktop.launch("Background");
    observe(background);
    openDialog(background, "Alert");
    EXPECT_EQ(snaps(), 0u);
    EXPECT_TRUE(observer->firstTime());

    // Hidden yet frontmost: examined on the first check only.
    SimApp& app = desktop.launch("Viewer");
    desktop.activate(app);
    focus(app, buildDialog(app, "First"));
    app.hidden = true;
    observe(app);
    EXPECT_EQ(snaps(), 1u);
    desktop.userMovesPointer(kRestingPointer);
    openDialog(app, "Second");
    EXPECT_EQ(snaps(), 1u);

    desktop.setHidden(app, false);
    desktop.runPending();
    EXPECT_EQ(snaps(), 2u);
}

// A Wayland desktop: positions are each window's own, the pointer is put
// into the window, and where the window is on the screens is unknown.
TEST_F(FocusedWindowObserverTest, AWindowWithItsOwnCoordinatesIsSnappedInThem)
{
    desktop.setPointerAbilities({.movesOnScreen = false, .movesInWindow = true, .readsPosition = false});
    desktop.setScreens({Screen{Rect{{0, 0}, {200, 200}}, 1.0f}}); // smaller than the spot's coordinates
    SimApp& app = launchObserved("Editor");
    // In its own coordinates a window is at (0, 0), or inset by the margin
    // its surface keeps round it; the screens do not count.
    auto relativeDialog = [&](const std::string& title, Point buttonOrigin, Point windowOrigin = {0, 0}) {
        NodePtr window = buildDialog(app, title, buttonOrigin);
        window->setFrame(windowOrigin, {400, 200});
        window->setAttribute("AXWindowRelativePositions", true);
        return window;
    };

    NodePtr window = relativeDialog("Save", {300, 150});
    focus(app, window);
    ASSERT_EQ(snaps(), 1u);
    EXPECT_EQ(desktop.pointerMoves()[0].to, (Point{365, 160}));
    EXPECT_EQ(desktop.pointerMoves()[0].window, window->element());
    EXPECT_EQ(posted.size(), 1u);

    // Outside the window's own frame: no move.
    focus(app, relativeDialog("Scrolled", {300, 250}));
    EXPECT_EQ(snaps(), 1u);
    // Below its size, but inside a frame inset by its surface's margin.
    focus(app, relativeDialog("Shadowed", {340, 220}, {60, 55}));
    ASSERT_EQ(snaps(), 2u);
    EXPECT_EQ(desktop.pointerMoves()[1].to, (Point{405, 230}));
    desktop.userMovesPointer(kRestingPointer);
    // A window in global coordinates cannot be snapped by this pointer.
    focus(app, buildDialog(app, "Global", {50, 50}));
    EXPECT_EQ(snaps(), 2u);

    // Nor can a pointer that moves only on screen snap a window of the first kind.
    desktop.setPointerAbilities({});
    focus(app, relativeDialog("Again", {300, 150}));
    EXPECT_EQ(snaps(), 2u);

    // A screen reading that equals the spot's numbers does not mean the
    // pointer is there already: the move is made and told.
    desktop.setPointerAbilities({.movesOnScreen = false, .movesInWindow = true, .readsPosition = false});
    desktop.userMovesPointer({365, 160});
    const size_t told = posted.size();
    focus(app, relativeDialog("Coincident", {300, 150}));
    EXPECT_EQ(snaps(), 3u);
    EXPECT_EQ(posted.size(), told + 1);
}

TEST_F(FocusedWindowObserverTest, PointerAlreadyOnTargetPostsNothingAndASnapLeavesTheProgramPathAlone)
{
    SimApp& app = launchObserved("Slides");
    // The program path is the guard's, on its own timer: a snap never looks.
    desktop.removeFile(kBundlePath);

    desktop.userMovesPointer(kSnapTarget);
    openDialog(app, "Export");
    ASSERT_EQ(snaps(), 1u);
    EXPECT_EQ(desktop.pointerMoves()[0].to, kSnapTarget);
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(desktop.terminated());
}

TEST_F(FocusedWindowObserverTest, AHungApplicationIsAskedOnceNotedAndTriedAgainOnTheNextFocusChange)
{
    SimApp& app = launchObserved("Writer");
    NodePtr dialog = buildDialog(app, "Save");
    app.hung = true;
    const int before = app.requestCount;
    const size_t logLines = desktop.logLines().size();
    focus(app, dialog);
    // Two focus notifications (created, focused): one request each, then nothing more.
    EXPECT_EQ(app.requestCount - before, 2);
    EXPECT_EQ(observer->unansweredChecks(), 2);
    EXPECT_EQ(snaps(), 0u);
    EXPECT_TRUE(observer->lastFocusedWindow().isEmpty()) << "an unanswered window is not taken as seen";
    ASSERT_EQ(desktop.logLines().size(), logLines + 1) << "logged once while it stays hung";
    EXPECT_EQ(desktop.logLines().back(),
        "FocusedWindowObserver - Writer (" + std::to_string(app.info.pid) + ") did not answer in time; its focus change is skipped");

    // Answering again, the same window is snapped at the next focus change.
    app.hung = false;
    focusElementChanged(app);
    EXPECT_EQ(snaps(), 1u);
    EXPECT_EQ(observer->lastFocusedWindow(), dialog->element());
    EXPECT_EQ(observer->unansweredChecks(), 2);

    // Hanging again is a new episode, logged anew.
    app.hung = true;
    focusElementChanged(app);
    EXPECT_EQ(observer->unansweredChecks(), 3);
    EXPECT_EQ(desktop.logLines().size(), logLines + 2);
}

TEST_F(FocusedWindowObserverTest, HangingWhileTheButtonIsChosenLeavesTheWindowUnseen)
{
    SimApp& app = launchObserved("Sheets");
    NodePtr dialog = buildDialog(app, "Export");
    desktop.focusWindow(app, dialog, false);
    {
        // The application answers about itself, then not about the window.
        WindowHangs hang(desktop, dialog->element());
        BendablePlatform::Bend hanging(platform, hang);
        observer->checkWindows();
        EXPECT_EQ(hang.windowRequests(), 1) << "the first unanswered read of the button rules is the last";
    }
    EXPECT_EQ(snaps(), 0u);
    EXPECT_EQ(observer->unansweredChecks(), 1);
    EXPECT_TRUE(observer->lastFocusedWindow().isEmpty());

    observer->checkWindows();
    EXPECT_EQ(snaps(), 1u);
    EXPECT_EQ(observer->lastFocusedWindow(), dialog->element());
}

TEST_F(FocusedWindowObserverTest, AGoneOrSilentApplicationIsNoHungOne)
{
    // Gone: its tree died with it; nothing snaps, nothing is taken for a hang.
    SimApp& app = launchObserved("Quitter");
    openDialog(app, "Save");
    ASSERT_EQ(snaps(), 1u);
    const size_t logLines = desktop.logLines().size();
    desktop.terminate(app.info.pid);
    desktop.runPending();
    observer->checkWindows();
    EXPECT_EQ(snaps(), 1u);
    EXPECT_EQ(observer->unansweredChecks(), 0);
    EXPECT_EQ(desktop.logLines().size(), logLines);

    // An application that does not offer whether it is frontmost is taken as
    // not frontmost, as before: no snap, no hang.
    desktop.userMovesPointer(kRestingPointer);
    SimApp& silent = launchObserved("Silent");
    silent.root->removeAttribute("AXFrontmost");
    openDialog(silent, "Print");
    EXPECT_EQ(snaps(), 1u);
    EXPECT_EQ(observer->unansweredChecks(), 0);
    EXPECT_EQ(desktop.logLines().size(), logLines);
}

TEST_F(FocusedWindowObserverTest, PlacementScalesTheInsetFromTheRightEdge)
{
    desktop.setMainScreenScaleFactor(2.0f);
    SimApp& app = launchObserved("Spreadsheet");
    openDialog(app, "Sort", {100, 200});
    ASSERT_EQ(snaps(), 1u);
    EXPECT_EQ(desktop.pointerMoves()[0].to, (Point{150, 210}));
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].to, (Point{150, 210}));
}

TEST_F(FocusedWindowObserverTest, ConstructionNeedsAllNotificationsAndEndsItsSubscriptions)
{
    NotificationCenter& workspaceCenter = desktop.workspace().notificationCenter();
    const size_t before = workspaceCenter.observerCount();

    SimApp& refusing = desktop.launch("Refusing");
    refusing.refusedNotifications.insert("AXApplicationHidden");
    EXPECT_EQ(FocusedWindowObserver::create(platform, refusing.info.pid), nullptr);
    EXPECT_EQ(workspaceCenter.observerCount(), before);

    SimApp& app = launchObserved("Plain");
    EXPECT_EQ(workspaceCenter.observerCount(), before + 2);
    observer.reset();
    EXPECT_EQ(workspaceCenter.observerCount(), before);
    desktop.sleepDisplays(); // reaches no destroyed observer
    openDialog(app, "Late");
    EXPECT_EQ(snaps(), 0u);

    desktop.setAPIEnabled(false);
    EXPECT_EQ(FocusedWindowObserver::create(platform, app.info.pid), nullptr);
}

} // namespace
} // namespace velmora
