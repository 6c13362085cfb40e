#pragma once

#include "platform/linux/GObjectRef.h"
#include "platform/linux/SourceGuard.h"

#include <atspi/atspi.h>
#include <sys/types.h>

#include <functional>

namespace velmora::linux_desktop {

// Tells when another process's windows, having had the focus, lose it, from
// the window activations its toolkit announces over AT-SPI. A process whose
// windows never had the focus loses nothing; one window taking it from
// another of the same process is no loss either.
class AtspiFocusLossWatch final {
public:
    // Watches `pid` for as long as the watch lives; `onLost` runs once per
    // loss, from an idle of the thread-default context rather than inside
    // the bus's dispatch. Without AT-SPI (never initialised) it never runs.
    AtspiFocusLossWatch(pid_t pid, std::function<void()> onLost);
    ~AtspiFocusLossWatch();
    AtspiFocusLossWatch(const AtspiFocusLossWatch&) = delete;
    AtspiFocusLossWatch& operator=(const AtspiFocusLossWatch&) = delete;

private:
    static void onEvent(AtspiEvent* event, void* self);
    static gboolean onSettled(gpointer self);

    pid_t m_pid;
    std::function<void()> m_onLost;
    GObjectRef<AtspiEventListener> m_listener;
    SourceGuard m_settle; // pending after a deactivation of ours
};

} // namespace velmora::linux_desktop
