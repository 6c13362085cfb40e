#pragma once

#include "platform/DelayedCall.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace velmora {

class RunLoop;

// Delayed calls that belong to one owner, for owners with more than one call
// in flight at a time (one retry per application, one delivery per message).
// Destroying the group, or cancelAll(), cancels every call still pending;
// the owner keeps the group as a member and captures `this` freely, also
// when it is destroyed from inside one of these calls.
class DelayedCallGroup {
public:
    explicit DelayedCallGroup(RunLoop& runLoop) : m_runLoop(runLoop) { }
    DelayedCallGroup(const DelayedCallGroup&) = delete;
    DelayedCallGroup& operator=(const DelayedCallGroup&) = delete;

    void performAfterDelay(double delay, std::function<void()> callback);
    void cancelAll();
    size_t pendingCount() const;

private:
    RunLoop& m_runLoop; // not owned; outlives the group's owner
    std::vector<DelayedCall> m_calls;
};

} // namespace velmora
