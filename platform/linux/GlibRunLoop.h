#pragma once

#include "platform/RunLoop.h"
#include "platform/linux/SourceGuard.h"

#include <glib.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

namespace velmora::linux_desktop {

// The agent's run loop over the GLib main loop of the thread-default context,
// which also dispatches the accessibility bus, the session bus and the X
// connection. Timers are GLib timeouts, file descriptors GLib unix fd
// sources; every source is named "[velmora] ...".
// Work still scheduled when the loop object is destroyed never runs.
class GlibRunLoop final : public RunLoop {
public:
    GlibRunLoop();
    ~GlibRunLoop() override;
    GlibRunLoop(const GlibRunLoop&) = delete;
    GlibRunLoop& operator=(const GlibRunLoop&) = delete;

    // RunLoop overrides.
    double now() const override;
    // Sleeps; nothing is dispatched meanwhile, which is what the engine's
    // button wait relies on (no notification can arrive inside it).
    void blockFor(double seconds) override;
    std::unique_ptr<Timer> scheduleTimer(double interval, TimerRepeats repeats, std::function<void()> callback) override;
    DelayedCall performAfterDelay(double delay, std::function<void()> callback) override;
    std::unique_ptr<FdWatch> watchFd(int fd, FdEvents interest, std::function<void(FdEvents ready)> callback) override;
    void performAtEndOfPass(std::function<void()> callback) override;
    void run() override;
    void stop() override;

    // Runs one pass of the loop, waiting for work if `mayBlock`; for tests and
    // for waits that must keep the desktop's sources dispatched.
    static bool iterate(bool mayBlock);

private:
    struct Pending {
        std::shared_ptr<DelayedCall::Record> record; // owned here; handles watch it
        SourceGuard source;
        GlibRunLoop* loop{nullptr}; // not owned; the loop owns this record
        uint64_t id{0};
    };

    std::shared_ptr<DelayedCall::Record> schedule(guint milliseconds, std::function<void()> callback, const char* name);
    static gboolean onPendingDue(gpointer data);

    GMainLoop* m_loop{nullptr}; // owned
    std::map<uint64_t, std::unique_ptr<Pending>> m_pending;
    uint64_t m_nextId{1};
};

} // namespace velmora::linux_desktop
