#pragma once

#include "platform/AccessibleElement.h"

#include <functional>
#include <string>
#include <sys/types.h>

namespace velmora::linux_desktop {

class AtspiApplicationDirectory;
class AtspiApplicationToolkits;
class AtspiBoundedCalls;
class AtspiEventReadCache;
class AtspiFocusState;
class AtspiObjectReads;
class AtspiObserverRegistry;
struct AtspiQueuedEvent;
struct AtspiWindowSystem;

// Turns one AT-SPI event, taken from the queue, into the interface's
// notifications for the observers of its process, and keeps the focus state
// and the application directory up to date with it:
// - window:activate / deactivate are the window's and, when the focus moves
//   between applications, the application's activation; GTK 4 announces a
//   frame's activation both ways and a dialog's only by its active state,
//   so for GTK 4 applications the active state is followed, alone;
// - the registry's word of an application joining or leaving is reported
//   to the application handler, and a leaving one is forgotten everywhere.
class AtspiEventTranslator {
public:
    // Launch and termination as the registry reports them.
    using ApplicationHandler = std::function<void(pid_t pid, bool launched)>;

    // All borrowed; they outlive this object.
    AtspiEventTranslator(AtspiBoundedCalls& calls, AtspiObjectReads& reads, AtspiEventReadCache& cache,
        AtspiApplicationDirectory& directory, AtspiApplicationToolkits& toolkits, AtspiFocusState& focus,
        AtspiObserverRegistry& observers, const AtspiWindowSystem& windowSystem);
    AtspiEventTranslator(const AtspiEventTranslator&) = delete;
    AtspiEventTranslator& operator=(const AtspiEventTranslator&) = delete;

    void setApplicationHandler(ApplicationHandler handler) { m_onApplication = std::move(handler); }
    void handle(const AtspiQueuedEvent& event);

private:
    void applicationJoinedOrLeft(const std::string& bus, bool joined);

    AtspiBoundedCalls& m_calls;
    AtspiObjectReads& m_reads;
    AtspiEventReadCache& m_cache;
    AtspiApplicationDirectory& m_directory;
    AtspiApplicationToolkits& m_toolkits;
    AtspiFocusState& m_focus;
    AtspiObserverRegistry& m_observers;
    const AtspiWindowSystem& m_windowSystem;
    ApplicationHandler m_onApplication;
};

} // namespace velmora::linux_desktop
