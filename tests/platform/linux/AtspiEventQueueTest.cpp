// The order in which queued accessibility events are handed on, and what
// happens to those that arrive during a delivery or outlive the queue.

#include "platform/linux/AtspiEventQueue.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop {
namespace {

AtspiQueuedEvent eventOf(const std::string& type)
{
    return {type, {}, 0, ":1.42"};
}

// Runs the default main context until `done` or the reaper's time is out.
template <typename Done>
bool pumpUntil(Done done, double seconds = 2)
{
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    while (!done() && g_get_monotonic_time() < end)
        g_main_context_iteration(nullptr, FALSE);
    return done();
}

void pumpPending()
{
    for (int i = 0; i < 20; ++i)
        g_main_context_iteration(nullptr, FALSE);
}

TEST(AtspiEventQueueTest, EventsAreHandedOnInArrivalOrderFromTheLoopNotFromEnqueue)
{
    std::vector<std::string> handled;
    int drained = 0;
    AtspiEventQueue queue([&](const AtspiQueuedEvent& event) { handled.push_back(event.type); }, [&] { ++drained; });
    queue.enqueue(eventOf("window:create"));
    queue.enqueue(eventOf("window:activate"));
    queue.enqueue(eventOf(AtspiQueuedEvent::kRegistryRemove));
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(queue.waiting(), 3u);

    ASSERT_TRUE(pumpUntil([&] { return drained > 0; }));
    EXPECT_EQ(handled, (std::vector<std::string>{"window:create", "window:activate", AtspiQueuedEvent::kRegistryRemove}));
    EXPECT_EQ(drained, 1);
    EXPECT_EQ(queue.waiting(), 0u);
    EXPECT_FALSE(queue.isDispatching());
}

TEST(AtspiEventQueueTest, AnEventQueuedDuringADeliveryWaitsForThatDeliveryToEnd)
{
    std::vector<std::string> handled;
    int drained = 0;
    std::unique_ptr<AtspiEventQueue> queue;
    queue = std::make_unique<AtspiEventQueue>(
        [&](const AtspiQueuedEvent& event) {
            EXPECT_TRUE(queue->isDispatching());
            handled.push_back(event.type);
            if (event.type == "window:activate") {
                // As a request's nested loop would: the loop runs, the queue does not.
                queue->enqueue(eventOf("window:deactivate"));
                pumpPending();
                handled.push_back("end of window:activate");
            }
        },
        [&] { ++drained; });
    queue->enqueue(eventOf("window:activate"));
    ASSERT_TRUE(pumpUntil([&] { return drained > 0; }));
    EXPECT_EQ(handled, (std::vector<std::string>{"window:activate", "end of window:activate", "window:deactivate"}));
    // One run of deliveries: the queue was not drained in between.
    EXPECT_EQ(drained, 1);
}

TEST(AtspiEventQueueTest, DestroyingTheQueueDropsWhatWaits)
{
    int handled = 0;
    {
        AtspiEventQueue queue([&](const AtspiQueuedEvent&) { ++handled; }, {});
        queue.enqueue(eventOf("window:create"));
    }
    pumpPending();
    EXPECT_EQ(handled, 0);

    // A queue made afterwards still delivers: nothing of the first was left behind.
    AtspiEventQueue queue([&](const AtspiQueuedEvent&) { ++handled; }, {});
    queue.enqueue(eventOf("window:create"));
    EXPECT_TRUE(pumpUntil([&] { return handled == 1; }));
}

} // namespace
} // namespace velmora::linux_desktop
