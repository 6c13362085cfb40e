#include "platform/linux/GlibRunLoop.h"

#include <cmath>

namespace velmora::linux_desktop {

namespace {

guint toMilliseconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    return static_cast<guint>(std::lround(seconds * 1000.0));
}

class GlibTimer final : public Timer {
public:
    GlibTimer(guint milliseconds, TimerRepeats repeats, std::function<void()> callback)
        : m_repeats(repeats)
        , m_callback(std::move(callback))
    {
        m_source = SourceGuard::timeout(milliseconds, &GlibTimer::onDue, this, "[velmora] timer");
    }

    void invalidate() override
    {
        m_valid = false;
        m_source.stop();
    }
    bool isValid() const override { return m_valid; }

private:
    static gboolean onDue(gpointer data)
    {
        auto* timer = static_cast<GlibTimer*>(data);
        const bool repeats = timer->m_repeats == TimerRepeats::Yes;
        if (!repeats)
            timer->m_valid = false;
        // The callback may destroy the timer: run a copy and touch nothing of
        // the timer afterwards. A destroyed source ignores our answer.
        auto callback = timer->m_callback;
        callback();
        return repeats ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
    }

    TimerRepeats m_repeats;
    std::function<void()> m_callback;
    bool m_valid{true};
    SourceGuard m_source;
};

class GlibFdWatch final : public FdWatch {
public:
    GlibFdWatch(int fd, FdEvents interest, std::function<void(FdEvents)> callback) : m_callback(std::move(callback))
    {
        int condition = G_IO_ERR | G_IO_HUP;
        if (interest.readable)
            condition |= G_IO_IN | G_IO_PRI;
        if (interest.writable)
            condition |= G_IO_OUT;
        m_source = SourceGuard::fd(fd, static_cast<GIOCondition>(condition), &GlibFdWatch::onReady, this, "[velmora] fd watch");
    }

private:
    static gboolean onReady(gint, GIOCondition condition, gpointer data)
    {
        auto* watch = static_cast<GlibFdWatch*>(data);
        FdEvents ready;
        ready.readable = (condition & (G_IO_IN | G_IO_PRI)) != 0;
        ready.writable = (condition & G_IO_OUT) != 0;
        ready.failed = (condition & (G_IO_ERR | G_IO_HUP | G_IO_NVAL)) != 0;
        // As with timers: the callback may destroy the watch, so a copy runs.
        auto callback = watch->m_callback;
        callback(ready);
        return G_SOURCE_CONTINUE;
    }

    std::function<void(FdEvents)> m_callback;
    SourceGuard m_source;
};

} // namespace

GlibRunLoop::GlibRunLoop() : m_loop(g_main_loop_new(g_main_context_get_thread_default(), FALSE)) { }

GlibRunLoop::~GlibRunLoop()
{
    // Emptied before the records go: a capture's destructor may cancel
    // another call, which then finds nothing to erase.
    auto pending = std::move(m_pending);
    m_pending.clear();
    pending.clear();
    g_main_loop_unref(m_loop);
}

double GlibRunLoop::now() const
{
    return static_cast<double>(g_get_monotonic_time()) / G_USEC_PER_SEC;
}

void GlibRunLoop::blockFor(double seconds)
{
    if (seconds > 0)
        g_usleep(static_cast<gulong>(seconds * G_USEC_PER_SEC));
}

std::unique_ptr<Timer> GlibRunLoop::scheduleTimer(double interval, TimerRepeats repeats, std::function<void()> callback)
{
    return std::make_unique<GlibTimer>(toMilliseconds(interval), repeats, std::move(callback));
}

DelayedCall GlibRunLoop::performAfterDelay(double delay, std::function<void()> callback)
{
    auto record = schedule(toMilliseconds(delay), std::move(callback), "[velmora] delayed call");
    return DelayedCall(record);
}

std::unique_ptr<FdWatch> GlibRunLoop::watchFd(int fd, FdEvents interest, std::function<void(FdEvents ready)> callback)
{
    return std::make_unique<GlibFdWatch>(fd, interest, std::move(callback));
}

void GlibRunLoop::performAtEndOfPass(std::function<void()> callback)
{
    // A zero timeout runs after the sources of the current pass have been
    // dispatched, at default priority, in the order scheduled.
    schedule(0, std::move(callback), "[velmora] end of pass");
}

void GlibRunLoop::run()
{
    g_main_loop_run(m_loop);
}

void GlibRunLoop::stop()
{
    g_main_loop_quit(m_loop);
}

// static
bool GlibRunLoop::iterate(bool mayBlock)
{
    return g_main_context_iteration(g_main_context_get_thread_default(), mayBlock);
}

std::shared_ptr<DelayedCall::Record> GlibRunLoop::schedule(guint milliseconds, std::function<void()> callback, const char* name)
{
    auto pending = std::make_unique<Pending>();
    pending->record = std::make_shared<DelayedCall::Record>();
    pending->record->callback = std::move(callback);
    pending->loop = this;
    pending->id = m_nextId++;
    // A cancelled call takes its source along: it wakes nobody later.
    pending->record->unschedule = [this, id = pending->id] { m_pending.erase(id); };
    pending->source = SourceGuard::timeout(milliseconds, &GlibRunLoop::onPendingDue, pending.get(), name);
    auto record = pending->record;
    m_pending.emplace(pending->id, std::move(pending));
    return record;
}

// static
gboolean GlibRunLoop::onPendingDue(gpointer data)
{
    auto* record = static_cast<Pending*>(data);
    GlibRunLoop* loop = record->loop;
    auto it = loop->m_pending.find(record->id);
    // Taken out of the table first: the callback may schedule more work, or
    // destroy the loop's owner.
    std::unique_ptr<Pending> pending = std::move(it->second);
    loop->m_pending.erase(it);
    pending->source.stop();
    DelayedCall::run(*pending->record);
    return G_SOURCE_REMOVE;
}

} // namespace velmora::linux_desktop
