#pragma once

#include "platform/linux/GObjectRef.h"

#include <atspi/atspi.h>

#include <optional>
#include <utility>
#include <vector>

namespace velmora::linux_desktop {

// What was read while one event is delivered. The engine reads some
// attributes more than once for one notification (a button's size, then its
// position and size; an application's windows for each of its questions),
// and nothing it reads changes between two reads of one delivery: events that
// arrive meanwhile wait their turn. Open only during a delivery, emptied
// between deliveries: nothing is kept outside one.
class AtspiEventReadCache {
public:
    // One kind of read, by object (each entry holds a reference to it).
    template <typename T>
    class Table {
    public:
        // The value kept for `accessible` this delivery; null when none.
        const T* find(AtspiAccessible* accessible) const
        {
            for (const auto& [object, value] : m_entries) {
                if (object.get() == accessible)
                    return &value;
            }
            return nullptr;
        }

    private:
        friend class AtspiEventReadCache;
        std::vector<std::pair<GObjectRef<AtspiAccessible>, T>> m_entries;
    };
    using Origin = std::optional<std::pair<int, int>>;

    // Starts a delivery, forgetting the last one's reads. `requestsSoFar` is
    // the request count now, from which requestsThisEvent() counts.
    void open(long requestsSoFar);
    // Ends deliveries: reads are forgotten and no longer kept.
    void close();
    bool isOpen() const { return m_open; }
    long requestsBefore() const { return m_requestsBefore; }

    // Keeps `value` for `accessible` while a delivery is open; does nothing
    // otherwise.
    template <typename T>
    void keep(Table<T>& table, AtspiAccessible* accessible, T value)
    {
        if (m_open)
            table.m_entries.emplace_back(GObjectRef<AtspiAccessible>::retain(accessible), std::move(value));
    }

    Table<AtspiRect> extents;
    Table<GObjectRef<AtspiStateSet>> states;
    Table<std::vector<GObjectRef<AtspiAccessible>>> children;
    // GTK 4: where each window's own origin lies on the screen, and the
    // window each button found in a window search belongs to.
    Table<Origin> windowOrigins;
    Table<GObjectRef<AtspiAccessible>> windowOfButton;
    // XWayland: where each X client window's frame lies on the X screen.
    Table<Origin> frameOrigins;

private:
    void forget();

    bool m_open{false};
    long m_requestsBefore{0};
};

} // namespace velmora::linux_desktop
