// What the backend keeps of its reads while one event is delivered, and
// that it keeps nothing outside a delivery.

#include "platform/linux/AtspiEventReadCache.h"

#include <gtest/gtest.h>

namespace velmora::linux_desktop {
namespace {

// An object of no application: enough to be a key, and to be kept alive.
GObjectRef<AtspiAccessible> bareObject()
{
    return GObjectRef<AtspiAccessible>::adopt(static_cast<AtspiAccessible*>(g_object_new(ATSPI_TYPE_ACCESSIBLE, nullptr)));
}

TEST(AtspiEventReadCacheTest, ReadsAreKeptByObjectForOneDeliveryOnly)
{
    AtspiEventReadCache cache;
    auto button = bareObject();
    auto window = bareObject();
    const AtspiRect rect{10, 20, 80, 30};

    cache.keep(cache.extents, button.get(), rect);
    EXPECT_EQ(cache.extents.find(button.get()), nullptr) << "kept outside a delivery";

    cache.open(7);
    EXPECT_TRUE(cache.isOpen());
    EXPECT_EQ(cache.requestsBefore(), 7);
    cache.keep(cache.extents, button.get(), rect);
    cache.keep(cache.windowOrigins, window.get(), AtspiEventReadCache::Origin{std::make_pair(100, 50)});
    cache.keep(cache.windowOrigins, button.get(), AtspiEventReadCache::Origin{});
    ASSERT_NE(cache.extents.find(button.get()), nullptr);
    EXPECT_EQ(cache.extents.find(button.get())->x, 10);
    EXPECT_EQ(cache.extents.find(button.get())->height, 30);
    EXPECT_EQ(cache.extents.find(window.get()), nullptr);
    // A remembered "not found" is an answer too.
    ASSERT_NE(cache.windowOrigins.find(button.get()), nullptr);
    EXPECT_FALSE(cache.windowOrigins.find(button.get())->has_value());
    EXPECT_EQ(cache.windowOrigins.find(window.get())->value(), std::make_pair(100, 50));

    // The next event's delivery starts afresh.
    cache.open(12);
    EXPECT_EQ(cache.requestsBefore(), 12);
    EXPECT_EQ(cache.extents.find(button.get()), nullptr);
    EXPECT_EQ(cache.windowOrigins.find(window.get()), nullptr);

    cache.keep(cache.extents, button.get(), rect);
    cache.close();
    EXPECT_FALSE(cache.isOpen());
    EXPECT_EQ(cache.extents.find(button.get()), nullptr);
}

TEST(AtspiEventReadCacheTest, AKeptObjectLivesUntilTheDeliveryEnds)
{
    AtspiEventReadCache cache;
    bool finalized = false;
    {
        auto dialog = bareObject();
        g_object_weak_ref(G_OBJECT(dialog.get()), [](gpointer data, GObject*) { *static_cast<bool*>(data) = true; }, &finalized);
        cache.open(0);
        cache.keep(cache.children, dialog.get(), std::vector<GObjectRef<AtspiAccessible>>{});
    }
    EXPECT_FALSE(finalized) << "the cache holds no reference of its own";
    cache.open(1);
    EXPECT_TRUE(finalized) << "the last delivery's objects outlive it";
}

} // namespace
} // namespace velmora::linux_desktop
