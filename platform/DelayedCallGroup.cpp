#include "platform/DelayedCallGroup.h"

#include "platform/RunLoop.h"

#include <algorithm>

namespace velmora {

void DelayedCallGroup::performAfterDelay(double delay, std::function<void()> callback)
{
    // Calls that ran are forgotten here, so a long-lived owner's list stays
    // as short as the number of calls actually in flight.
    std::erase_if(m_calls, [](const DelayedCall& call) { return !call.isPending(); });
    m_calls.push_back(m_runLoop.performAfterDelay(delay, std::move(callback)));
}

void DelayedCallGroup::cancelAll()
{
    // Moved out first: a capture released by a cancel may add to the group.
    auto calls = std::move(m_calls);
    m_calls.clear();
    calls.clear();
}

size_t DelayedCallGroup::pendingCount() const
{
    return static_cast<size_t>(std::count_if(m_calls.begin(), m_calls.end(), [](const DelayedCall& call) { return call.isPending(); }));
}

} // namespace velmora
