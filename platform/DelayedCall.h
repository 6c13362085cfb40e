#pragma once

#include <functional>
#include <memory>

namespace velmora {

// The caller's handle on one call scheduled with RunLoop::performAfterDelay.
// The loop owns the call's record and this handle only watches it, so the
// guard against a callback reaching a destroyed owner lives in the loop:
// destroying the handle (or cancel()) means the call never runs, also when it
// is already due in the current pass. Move-only; the handle may outlive its
// loop. An owner keeps the handle as a member and captures `this` freely.
class [[nodiscard]] DelayedCall {
public:
    // What the loop keeps of one scheduled call.
    struct Record {
        std::function<void()> callback;   // empty once run or cancelled
        std::function<void()> unschedule; // set by the loop: drops its queue entry
    };

    DelayedCall() = default;
    explicit DelayedCall(std::weak_ptr<Record> record) : m_record(std::move(record)) { }
    ~DelayedCall() { cancel(); }
    DelayedCall(DelayedCall&& other) noexcept = default;
    // Cancels the call held before.
    DelayedCall& operator=(DelayedCall&& other) noexcept;
    DelayedCall(const DelayedCall&) = delete;
    DelayedCall& operator=(const DelayedCall&) = delete;

    // The callback never runs; what it captured is released now. Harmless
    // from inside the callback itself, after it ran, or after the loop went.
    void cancel();
    // Scheduled, and neither run nor cancelled yet.
    bool isPending() const;

    // For loops: runs a due call. The callback is taken out of the record
    // first, so whatever it does to its own handle (cancel, destroy, replace)
    // touches nothing that is still running.
    static void run(Record& record);

private:
    std::weak_ptr<Record> m_record;
};

} // namespace velmora
