#include "agent/snapping/SnapBackCoordinator.h"
#include "agent/snapping/FocusedWindowObserver.h"

#include "agent/accessibility/ElementQueries.h"

#include "agent/snapping/SnapEvent.h"
#include "agent/snapping/SnapNotifications.h"
#include "platform/sim/SimDesktop.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace velmora {
namespace {

// Every report and snap-back posted on the local centre, in order.
class SnapNotificationLog {
public:
    struct Entry {
        std::string name;
        const void* object;
    };

    explicit SnapNotificationLog(NotificationCenter& center)
    {
        for (const char* name : {kUserMovedPointer, kSnappedButtonGone, kSnappedButtonGoneAfterPointerMoved,
                 kPointerSnappedBack}) {
            m_observations.push_back(center.addObserver(name, nullptr,
                [this](const Notification& n) { m_entries.push_back({n.name, n.object}); }));
        }
    }

    const std::vector<Entry>& entries() const { return m_entries; }
    size_t count(const std::string& name) const
    {
        return std::ranges::count(m_entries, name, &Entry::name);
    }

private:
    std::vector<NotificationObservation> m_observations;
    std::vector<Entry> m_entries;
};

// A dialog whose button is wide and tall enough that the pointer can wander
// 24 pixels up, down and left of the snap point and still be on it.
struct Dialog {
    std::shared_ptr<sim::SimNode> window;
    std::shared_ptr<sim::SimNode> button;
    Point snapPoint; // where the agent puts the pointer on the button
};

class SnapBackCoordinatorTest : public ::testing::Test {
protected:
    static constexpr Point kRestingPointer{100, 100};
    // How soon a change under the pointer is noticed, written out rather
    // than read back from the watcher, so that a slower poll fails here.
    static constexpr double kPoll = 0.05;

    SnapBackCoordinatorTest() : m_app(m_desktop.launch("Editor", std::string("org.example.editor")))
    {
        // The document the dialogs belong to: what the pointer rests on once
        // a dialog has gone. The screen's right and bottom edges stay bare.
        m_desktop.focusWindow(m_app, m_app.addWindow("Untitled", {0, 0}, {1200, 800}));
        m_desktop.activate(m_app);
        m_desktop.userMovesPointer(kRestingPointer);
        m_desktop.runPending();
    }
    ~SnapBackCoordinatorTest() override
    {
        m_listener.reset();
        m_desktop.runPending(); // deferred releases
    }

    Dialog buildSaveDialog(Point origin = {200, 200})
    {
        Dialog dialog;
        dialog.window = m_app.addWindow("Save", origin, {400, 200});
        dialog.button = dialog.window->addButton("Save", {origin.x + 180, origin.y + 120}, {200, 60});
        dialog.snapPoint = {origin.x + 180 + 200 - 15, origin.y + 150};
        m_desktop.focusWindow(m_app, dialog.window, true);
        m_desktop.runPending();
        return dialog;
    }

    // What the focused-window observer does: warp onto the button, then
    // announce the move with the pointer locations before and after.
    void snapTo(Point point)
    {
        const Point from = m_desktop.pointer().location();
        m_desktop.pointer().moveTo(point);
        postSnap(from, m_desktop.pointer().location());
    }
    void postSnap(Point from, Point to)
    {
        m_desktop.localNotificationCenter().post(
            Notification{kPointerSnapped, nullptr, {}, SnapEvent{from, to, ElementQueries{m_desktop.accessibility()}.elementAt(to)}});
    }

    // A null value removes the key.
    void setSnapBack(const Value& value)
    {
        if (value.isNull())
            m_desktop.standardUserDefaults().removeObject(VelmoraPreferences::kSnapbackCursor);
        else
            m_desktop.standardUserDefaults().setObject(VelmoraPreferences::kSnapbackCursor, value);
    }
    void nudge(const Point& from, float dx, float dy) { m_desktop.userMovesPointer({from.x + dx, from.y + dy}); }
    size_t programMoves() const { return m_desktop.pointerMoves().size(); }
    const SnappedButtonWatcher* currentWatcher() const
    {
        return m_listener->watchers().empty() ? nullptr : m_listener->watchers().front().watcher.get();
    }

    sim::SimDesktop m_desktop;
    ScopedPlatform m_scoped{m_desktop};
    sim::SimApp& m_app;
    std::unique_ptr<SnapBackCoordinator> m_listener = std::make_unique<SnapBackCoordinator>(m_desktop);
    SnapNotificationLog m_log{m_desktop.localNotificationCenter()};
};

TEST_F(SnapBackCoordinatorTest, SnapKeepsBothPointsAndWatchesTheSnappedPixel)
{
    Dialog dialog = buildSaveDialog();
    m_desktop.pointer().moveTo(dialog.snapPoint);
    postSnap({100, 100}, {565.5f, 350.75f});

    ASSERT_EQ(m_listener->watchers().size(), 1u);
    const auto& record = m_listener->watchers().front();
    EXPECT_EQ(record.from, (Point{100, 100}));
    EXPECT_EQ(record.to, (Point{565.5f, 350.75f}));
    ASSERT_NE(record.watcher, nullptr);
    EXPECT_EQ(record.watcher->snappedPixel(), (Point{565, 350}));
    EXPECT_EQ(record.watcher->element(), dialog.button->element());
    EXPECT_TRUE(record.watcher->isPolling());
    EXPECT_FALSE(record.watcher->mouseAlreadyMoved());

    m_desktop.advance(1.0); // resting on a button that stays: nothing to report
    EXPECT_TRUE(m_log.entries().empty());
    EXPECT_TRUE(record.watcher->isPolling());
}

TEST_F(SnapBackCoordinatorTest, ASnapReplacesTheRecordOnlyWhenItMovedThePointer)
{
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    const SnappedButtonWatcher* first = currentWatcher();
    ASSERT_NE(first, nullptr);

    const Point here = m_desktop.pointer().location();
    postSnap(here, here);
    ASSERT_EQ(m_listener->watchers().size(), 1u);
    EXPECT_EQ(currentWatcher(), first);
    EXPECT_TRUE(first->isPolling());

    // A snap notification without its event is not a snap.
    m_desktop.localNotificationCenter().post(kPointerSnapped);
    EXPECT_EQ(currentWatcher(), first);
    EXPECT_TRUE(first->isPolling());

    snapTo({1300, 850}); // bare desktop: nothing to watch, and the earlier snap is forgotten
    EXPECT_TRUE(m_listener->watchers().empty());
    m_desktop.advance(1.0);
    EXPECT_TRUE(m_log.entries().empty());
}

TEST_F(SnapBackCoordinatorTest, TwentyFourPixelsIsRestingTwentyFiveIsMoved)
{
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    const SnappedButtonWatcher* watcher = currentWatcher();

    nudge(dialog.snapPoint, 0, 24);
    m_desktop.advance(kPoll);
    nudge(dialog.snapPoint, -24, -24);
    m_desktop.advance(kPoll);
    EXPECT_TRUE(m_log.entries().empty());
    ASSERT_EQ(currentWatcher(), watcher);

    nudge(dialog.snapPoint, 0, 25);
    m_desktop.advance(kPoll);
    ASSERT_EQ(m_log.entries().size(), 1u);
    EXPECT_EQ(m_log.entries()[0].name, kUserMovedPointer);
    EXPECT_EQ(m_log.entries()[0].object, watcher);
    EXPECT_TRUE(m_listener->watchers().empty());

    // The other axis, the other way.
    m_desktop.userMovesPointer(kRestingPointer);
    snapTo(dialog.snapPoint);
    nudge(dialog.snapPoint, -25, 0);
    m_desktop.advance(kPoll);
    EXPECT_EQ(m_log.count(kUserMovedPointer), 2u);
    EXPECT_TRUE(m_listener->watchers().empty());
}

TEST_F(SnapBackCoordinatorTest, MovedAwayThenButtonGoneNeverSnapsBack)
{
    setSnapBack(true);
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    size_t movesAfterSnap = programMoves();

    nudge(dialog.snapPoint, 40, 0);
    m_desktop.advance(kPoll);
    m_desktop.userMovesPointer(dialog.snapPoint); // back onto the button
    m_desktop.advance(kPoll);
    m_desktop.closeWindow(m_app, dialog.window);
    m_desktop.advance(1.0);

    ASSERT_EQ(m_log.entries().size(), 1u);
    EXPECT_EQ(m_log.entries()[0].name, kUserMovedPointer);
    EXPECT_EQ(programMoves(), movesAfterSnap);
}

TEST_F(SnapBackCoordinatorTest, DismissedDialogPutsThePointerBackWhenAllowed)
{
    setSnapBack(1); // as the pane stores it
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    const SnappedButtonWatcher* watcher = currentWatcher();

    m_desktop.closeWindow(m_app, dialog.window);
    m_desktop.advance(kPoll);

    // The snap-back is announced from inside the report's delivery, so the
    // log sees it first.
    ASSERT_EQ(m_log.entries().size(), 2u);
    EXPECT_EQ(m_log.entries()[0].name, kPointerSnappedBack);
    EXPECT_EQ(m_log.entries()[0].object, m_listener.get());
    EXPECT_EQ(m_log.entries()[1].name, kSnappedButtonGone);
    EXPECT_EQ(m_log.entries()[1].object, watcher);
    EXPECT_EQ(m_desktop.pointer().location(), kRestingPointer);
    EXPECT_EQ(m_desktop.buttonEventCount(), 0);
    EXPECT_TRUE(m_listener->watchers().empty());

    m_desktop.advance(1.0); // the watch is over
    EXPECT_EQ(m_log.entries().size(), 2u);
}

TEST_F(SnapBackCoordinatorTest, AGoneButtonIsNoticedWithinFiftyMillisecondsWheneverItGoes)
{
    for (double goneAfter : {0.0, 0.01, 0.026, 0.049, 0.07}) {
        SCOPED_TRACE(testing::Message() << "gone " << goneAfter << " s after the snap");
        Dialog dialog = buildSaveDialog();
        snapTo(dialog.snapPoint);
        size_t reportsBefore = m_log.count(kSnappedButtonGone);
        m_desktop.advance(goneAfter);
        EXPECT_EQ(m_log.count(kSnappedButtonGone), reportsBefore);

        m_desktop.closeWindow(m_app, dialog.window);
        m_desktop.advance(kPoll);
        EXPECT_EQ(m_log.count(kSnappedButtonGone), reportsBefore + 1);
        EXPECT_TRUE(m_listener->watchers().empty());
        m_desktop.userMovesPointer(kRestingPointer);
    }
}

TEST_F(SnapBackCoordinatorTest, NoSnapBackWhenSwitchedOffUnsetOrNoApplicationIsActive)
{
    struct Case {
        const char* what;
        Value setting;
        bool frontmost;
    };
    for (const Case& c : {Case{"unset", Value(), true}, Case{"switched off", Value(false), true},
             Case{"no active application", Value(true), false}}) {
        SCOPED_TRACE(c.what);
        setSnapBack(c.setting);
        m_app.frontmost = true;
        m_desktop.userMovesPointer(kRestingPointer);
        Dialog dialog = buildSaveDialog();
        snapTo(dialog.snapPoint);
        size_t movesAfterSnap = programMoves();
        size_t reportsBefore = m_log.count(kSnappedButtonGone);

        m_app.frontmost = c.frontmost;
        m_desktop.closeWindow(m_app, dialog.window);
        m_desktop.advance(kPoll);

        EXPECT_EQ(m_log.count(kSnappedButtonGone), reportsBefore + 1);
        EXPECT_EQ(m_log.count(kPointerSnappedBack), 0u);
        EXPECT_EQ(programMoves(), movesAfterSnap);
        EXPECT_TRUE(m_listener->watchers().empty());
    }
}

TEST_F(SnapBackCoordinatorTest, SnapBackOnlyWithinFourPointsOfWhereTheSnapLeftIt)
{
    setSnapBack(true);
    struct Case {
        float dx, dy;
        bool snapsBack;
    };
    for (Case c : {Case{3.9f, 0, true}, Case{0, -3.9f, true}, Case{4, 0, false}, Case{0, -4, false}, Case{-4, 3, false}}) {
        SCOPED_TRACE(testing::Message() << "nudged by " << c.dx << ", " << c.dy);
        Dialog dialog = buildSaveDialog();
        snapTo(dialog.snapPoint);
        nudge(dialog.snapPoint, c.dx, c.dy);
        m_desktop.advance(kPoll); // still on the button: nothing yet
        EXPECT_FALSE(m_listener->watchers().empty());

        size_t backBefore = m_log.count(kPointerSnappedBack);
        m_desktop.closeWindow(m_app, dialog.window);
        m_desktop.advance(kPoll);
        EXPECT_TRUE(m_listener->watchers().empty());
        EXPECT_EQ(m_log.count(kPointerSnappedBack) - backBefore, c.snapsBack ? 1u : 0u);
        EXPECT_EQ(m_desktop.pointer().location() == kRestingPointer, c.snapsBack);
        m_desktop.userMovesPointer(kRestingPointer);
    }
}

TEST_F(SnapBackCoordinatorTest, PointerOffTheButtonInsideTheBoxEndsTheWatchLikeAGoneButton)
{
    setSnapBack(true);
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    nudge(dialog.snapPoint, 20, 0); // off the button's right edge, onto the window
    m_desktop.advance(kPoll);

    EXPECT_EQ(m_log.count(kSnappedButtonGone), 1u);
    EXPECT_EQ(m_log.count(kPointerSnappedBack), 0u); // too far to be put back
    EXPECT_TRUE(m_listener->watchers().empty());
}

TEST_F(SnapBackCoordinatorTest, SecondSnapReplacesTheFirstWhoseWatcherNeverReports)
{
    setSnapBack(true);
    Dialog first = buildSaveDialog({200, 200});
    snapTo(first.snapPoint);
    const void* firstWatcher = currentWatcher();

    Dialog second = buildSaveDialog({600, 500});
    snapTo(second.snapPoint);
    ASSERT_EQ(m_listener->watchers().size(), 1u);
    EXPECT_NE(currentWatcher(), firstWatcher);
    EXPECT_EQ(m_listener->watchers().front().watcher->element(), second.button->element());

    // Were it still polling, the first watcher would see the pointer far away
    // and its button gone.
    m_desktop.closeWindow(m_app, first.window);
    m_desktop.advance(1.0);
    EXPECT_TRUE(m_log.entries().empty());

    m_desktop.closeWindow(m_app, second.window);
    m_desktop.advance(kPoll);
    EXPECT_EQ(m_log.count(kSnappedButtonGone), 1u);
    // Back to where the pointer was before the second snap: the first button's spot.
    EXPECT_EQ(m_desktop.pointer().location(), first.snapPoint);
}

TEST_F(SnapBackCoordinatorTest, AnythingAtTheButtonsPositionCountsAsTheButton)
{
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    ASSERT_EQ(m_listener->watchers().size(), 1u);
    // A label appears inside the button, where the button sits: the pointer
    // now hits the label, which is not the watched element.
    auto label = dialog.button->addChild("AXStaticText");
    label->setFrame(dialog.button->position(), {200, 60});
    m_desktop.advance(1.0);
    EXPECT_TRUE(m_log.entries().empty());

    label->setFrame({dialog.button->position().x + 1, dialog.button->position().y}, {199, 60});
    m_desktop.advance(kPoll);
    EXPECT_EQ(m_log.count(kSnappedButtonGone), 1u);
}

TEST_F(SnapBackCoordinatorTest, AButtonGoneWithNothingReadableInItsPlaceIsGoneButAHungOneIsNot)
{
    setSnapBack(true);
    // Right of the document: once the dialog closes, bare screen is under the pointer.
    Dialog dialog = buildSaveDialog({1000, 100});
    snapTo(dialog.snapPoint);

    // A frozen application answers nothing, about the point or the button:
    // that is no answer, and the watch goes on.
    m_app.hung = true;
    const int before = m_app.requestCount;
    m_desktop.advance(1.0);
    EXPECT_TRUE(m_log.entries().empty());
    // One unanswered request a tick (the hit test): the button is not asked
    // whether it is gone while its application does not answer.
    const int ticks = static_cast<int>(1.0 / kPoll + 0.5);
    EXPECT_GE(m_app.requestCount - before, ticks - 1);
    EXPECT_LE(m_app.requestCount - before, ticks + 1);
    m_app.hung = false;

    m_desktop.closeWindow(m_app, dialog.window);
    m_desktop.advance(kPoll);
    EXPECT_EQ(m_log.count(kSnappedButtonGone), 1u);
    EXPECT_EQ(m_desktop.pointer().location(), kRestingPointer);
}

TEST_F(SnapBackCoordinatorTest, ACoveredButtonWhoseApplicationHangsIsNotTakenForGone)
{
    setSnapBack(true);
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);

    // Another application's window comes over the button, which cannot say
    // where it is while its application hangs: no answer, so no return yet.
    sim::SimApp& other = m_desktop.launch("Other");
    auto cover = other.addWindow("Cover", {0, 0}, {1200, 800});
    m_desktop.activate(other);
    m_desktop.focusWindow(other, cover);
    m_app.hung = true;
    m_desktop.advance(0.5);
    EXPECT_EQ(m_log.count(kSnappedButtonGone), 0u);

    // Answering again, its button is found covered.
    m_app.hung = false;
    m_desktop.advance(kPoll);
    EXPECT_EQ(m_log.count(kSnappedButtonGone), 1u);
}

TEST_F(SnapBackCoordinatorTest, AnApplicationQuittingWithItsDialogPutsThePointerBackAtOnce)
{
    setSnapBack(true);
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);

    // Nothing is active afterwards: the focus went with the application.
    m_desktop.terminate(m_app.info.pid);
    m_desktop.runPending();
    EXPECT_EQ(m_log.count(kSnappedButtonGone), 1u);
    EXPECT_EQ(m_log.count(kPointerSnappedBack), 1u);
    EXPECT_EQ(m_desktop.pointer().location(), kRestingPointer);
    EXPECT_TRUE(m_listener->watchers().empty());
}

TEST_F(SnapBackCoordinatorTest, AProcessEndedBeforeItsAccessibilityNoticedStillGetsThePointerBack)
{
    setSnapBack(true);
    m_app.frontmost = true;
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);

    // The compositor still names the ended process as active, so nothing is.
    m_app.processEnded = true;
    m_app.frontmost = false;
    m_desktop.closeWindow(m_app, dialog.window);
    m_desktop.advance(kPoll);
    EXPECT_EQ(m_log.count(kPointerSnappedBack), 1u);
    EXPECT_EQ(m_desktop.pointer().location(), kRestingPointer);
}

TEST_F(SnapBackCoordinatorTest, AnotherApplicationQuittingLeavesTheWatchAlone)
{
    setSnapBack(true);
    sim::SimApp& other = m_desktop.launch("Other");
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    m_desktop.terminate(other.info.pid);
    m_desktop.advance(1.0);
    EXPECT_TRUE(m_log.entries().empty());
    EXPECT_EQ(m_listener->watchers().size(), 1u);
}

// The dialog closes and its main window takes the focus in the same pass,
// and that window has a button of its own: the pointer goes back first, and
// the next snap starts from there, not from the dead button's spot.
TEST_F(SnapBackCoordinatorTest, FocusMovingOnFirstStillPutsThePointerBackBeforeTheNextSnap)
{
    setSnapBack(true);
    auto observer = FocusedWindowObserver::create(m_desktop, m_app.info.pid);
    ASSERT_NE(observer, nullptr);
    observer->setAppInfo(m_app.info);
    observer->checkWindows(); // the document, seen without a button
    std::shared_ptr<sim::SimNode> document = m_app.windows.front();
    auto find = document->addButton("Find", {900, 700}, {100, 40});
    document->setAttribute("AXDefaultButton", find->element());

    std::vector<std::string> order;
    std::vector<Point> snapStarts;
    auto snaps = m_desktop.localNotificationCenter().addObserver(kPointerSnapped, nullptr, [&](const Notification& n) {
        order.push_back("snap");
        const SnapEvent* snap = n.payloadAs<SnapEvent>();
        ASSERT_NE(snap, nullptr);
        snapStarts.push_back(snap->from);
    });
    auto backs = m_desktop.localNotificationCenter().addObserver(kPointerSnappedBack, nullptr,
        [&](const Notification&) { order.push_back("back"); });

    auto dialog = m_app.addWindow("Save", {200, 200}, {400, 200});
    auto save = dialog->addButton("Save", {380, 320}, {200, 60});
    dialog->setAttribute("AXDefaultButton", save->element());
    m_desktop.focusWindow(m_app, dialog, true);
    m_desktop.runPending();
    ASSERT_EQ(m_desktop.pointer().location(), (Point{565, 350}));

    m_desktop.closeWindow(m_app, dialog); // the document is focused at once
    m_desktop.runPending();
    EXPECT_EQ(order, (std::vector<std::string>{"snap", "back", "snap"}));
    EXPECT_EQ(snapStarts, (std::vector<Point>{kRestingPointer, kRestingPointer}));
    EXPECT_EQ(m_desktop.pointer().location(), (Point{985, 720}));
}

TEST_F(SnapBackCoordinatorTest, WhereThePointerCannotBeReadNothingIsWatchedAndThatIsLoggedOnce)
{
    m_desktop.setPointerAbilities({.movesOnScreen = true, .movesInWindow = true, .readsPosition = false});
    const size_t logBefore = m_desktop.logLines().size();
    setSnapBack(false);
    Dialog first = buildSaveDialog();
    snapTo(first.snapPoint);
    EXPECT_TRUE(m_listener->watchers().empty());
    EXPECT_EQ(m_desktop.logLines().size(), logBefore); // nothing asked for, nothing missed

    setSnapBack(true);
    for (Point origin : {Point{200, 200}, Point{600, 500}}) {
        m_desktop.userMovesPointer(kRestingPointer);
        Dialog dialog = buildSaveDialog(origin);
        snapTo(dialog.snapPoint);
        EXPECT_TRUE(m_listener->watchers().empty());
    }
    ASSERT_EQ(m_desktop.logLines().size(), logBefore + 1);
    EXPECT_EQ(m_desktop.logLines().back(), SnapBackCoordinator::kSnapBackUnavailableMessage);
}

TEST_F(SnapBackCoordinatorTest, ReportFromAnUnknownWatcherIsLoggedAndIgnored)
{
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    const SnappedButtonWatcher* watcher = currentWatcher();

    int stranger = 0;
    m_desktop.localNotificationCenter().post(kSnappedButtonGone, &stranger);
    m_desktop.runPending();
    EXPECT_EQ(std::count(m_desktop.logLines().begin(), m_desktop.logLines().end(), "Couldn't find watcher"), 1);
    EXPECT_EQ(currentWatcher(), watcher);
    EXPECT_TRUE(watcher->isPolling());
    EXPECT_EQ(m_listener->indexOfWatcher(&stranger), std::nullopt);
    EXPECT_EQ(m_listener->indexOfWatcher(watcher), std::optional<size_t>{0});
}

// The reporting watcher is inside its own poll when the listener drops it:
// it must stay alive until that pass is over, and be released right after.
TEST_F(SnapBackCoordinatorTest, ReportingWatcherOutlivesItsPollThenIsReleased)
{
    setSnapBack(true);
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    std::weak_ptr<sim::SimNode> button = dialog.button;
    dialog = {};

    bool seenAfterListener = false;
    auto probe = m_desktop.localNotificationCenter().addObserver(kSnappedButtonGone, nullptr,
        [&](const Notification& n) {
            // The listener has already handled this report and emptied its list.
            EXPECT_TRUE(m_listener->watchers().empty());
            auto* watcher = static_cast<const SnappedButtonWatcher*>(n.object);
            EXPECT_FALSE(watcher->isPolling()); // a use after free here under ASan
            EXPECT_FALSE(button.expired());
            seenAfterListener = true;
        });

    auto window = m_app.windows.front();
    m_desktop.closeWindow(m_app, window);
    window.reset();
    m_desktop.advance(kPoll);
    EXPECT_TRUE(seenAfterListener);
    EXPECT_TRUE(button.expired()) << "the watcher still holds the button";
}

TEST_F(SnapBackCoordinatorTest, DroppedListenerStopsItsWatcherAtOnce)
{
    Dialog dialog = buildSaveDialog();
    snapTo(dialog.snapPoint);
    m_listener.reset();
    m_desktop.runPending();

    nudge(dialog.snapPoint, 100, 100);
    m_desktop.closeWindow(m_app, dialog.window);
    m_desktop.advance(1.0);
    EXPECT_TRUE(m_log.entries().empty());
}

} // namespace
} // namespace velmora
