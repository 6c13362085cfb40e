#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiWindowSystem.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/HungAppLedger.h"

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop {

class AtspiApplicationDirectory;
class AtspiApplicationToolkits;
class AtspiAttributeReader;
class AtspiBoundedCalls;
class AtspiButtonSearch;
class AtspiEventQueue;
class AtspiEventReadCache;
class AtspiEventSource;
class AtspiEventTranslator;
class AtspiExtentsReader;
class AtspiFocusState;
class AtspiHitTest;
class AtspiObjectReads;
class AtspiObserverRegistry;
class AtspiTreeWalk;
class SurfaceLocator;
class X11WindowLocator;
class XWaylandWindows;

// The accessibility interface of the desktop over AT-SPI2 (libatspi). This
// class only builds its collaborators, one per job, and answers the interface
// through them:
// - AtspiBoundedCalls: every request to an application carries
//   kAtspiCallMs; one that runs out puts the application in the hung ledger
//   and every later request to it fails at once with CannotComplete until it
//   answers a ping;
// - AtspiObjectReads, AtspiTreeWalk, AtspiExtentsReader: an object's own
//   properties, the tree the engine sees, and where objects lie;
// - AtspiApplicationToolkits: GTK 4's and Qt's conventions, by application;
// - AtspiAttributeReader and AtspiButtonSearch: the interface's attributes;
// - AtspiHitTest: the element at a point;
// - AtspiApplicationDirectory and AtspiFocusState: applications and focus;
// - AtspiEventSource, AtspiEventQueue, AtspiEventTranslator,
//   AtspiObserverRegistry: events are queued as they arrive and delivered as
//   notifications from an idle source, never from inside a request.
class AtspiAccessibility final : public Accessibility {
public:
    struct Buses {
        GObjectRef<GDBusConnection> session;       // for the accessibility status
        GObjectRef<GDBusConnection> accessibility; // for pings and the registry's signals
    };
    // Launch and termination as the registry reports them.
    using ApplicationHandler = std::function<void(pid_t pid, bool launched)>;

    // `windows` (borrowed, may be null) finds the application under a point.
    // atspi_init() must have succeeded, unless `buses.accessibility` is null:
    // that form, the pane's, never touches libatspi or the registry. It sees
    // no applications, and isAPIEnabled() reports the desktop's switch only.
    // `xwayland` (borrowed, may be null) places X clients' windows in a
    // Wayland session, where `windows` is null.
    AtspiAccessibility(Buses buses, X11WindowLocator* windows, XWaylandWindows* xwayland = nullptr);
    ~AtspiAccessibility() override;
    // Finds the window under a point where `windows` cannot (borrowed, may
    // be null): a Wayland compositor that tells.
    void setSurfaceLocator(SurfaceLocator* surfaces) { m_windowSystem.surfaces = surfaces; }
    // Whether Qt on Wayland draws its own title bar and border, counted
    // inside its positions: where the compositor does not decorate windows
    // (mutter); KWin draws them outside the window's surface.
    void setQtDrawsDecorations(bool draws) { m_windowSystem.qtDrawsDecorations = draws; }
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    // Accessibility overrides.
    bool isAPIEnabled() override;
    AccessibleElement createApplication(pid_t pid) override;
    AccessibleElement createSystemWide() override;
    AccessibilityError copyAttributeNames(const AccessibleElement& element, std::vector<std::string>& names) override;
    AccessibilityError copyAttributeValue(const AccessibleElement& element, const std::string& attribute, AttributeValue& value) override;
    AccessibilityError copyElementAtPosition(const AccessibleElement& element, float x, float y, AccessibleElement& result) override;
    AccessibilityError getPid(const AccessibleElement& element, pid_t& pid) override;
    AccessibilityError createObserver(pid_t pid, AccessibilityObserver::Callback callback, std::unique_ptr<AccessibilityObserver>& observer) override;

    // The accessibility bus's address as the session's bus launcher gives
    // it; "" when there is none (no launcher, or it did not answer in time).
    static std::string busAddress(GDBusConnection* sessionBus);

    // The processes with an AT-SPI application now, in the registry's order.
    std::vector<pid_t> applicationPids();
    // The process of the active application; 0 when none.
    pid_t activePid();
    void setApplicationHandler(ApplicationHandler handler);

    HungAppLedger& ledger();
    // Requests sent to applications so far (cost measurements), and while an
    // event is being delivered, those sent for it so far.
    long requestCount() const;
    long requestsThisEvent() const;

private:
    Buses m_buses;
    AtspiWindowSystem m_windowSystem;
    // Owned collaborators, each using only those declared before it.
    std::unique_ptr<AtspiBoundedCalls> m_calls;
    std::unique_ptr<AtspiEventReadCache> m_cache;
    std::unique_ptr<AtspiObjectReads> m_reads;
    std::unique_ptr<AtspiTreeWalk> m_tree;
    std::unique_ptr<AtspiFocusState> m_focus;
    std::unique_ptr<AtspiApplicationDirectory> m_directory;
    std::unique_ptr<AtspiApplicationToolkits> m_toolkits;
    std::unique_ptr<AtspiExtentsReader> m_extents;
    std::unique_ptr<AtspiButtonSearch> m_buttons;
    std::unique_ptr<AtspiAttributeReader> m_attributes;
    std::unique_ptr<AtspiHitTest> m_hitTest;
    std::unique_ptr<AtspiObserverRegistry> m_observers;
    std::unique_ptr<AtspiEventTranslator> m_translator;
    std::unique_ptr<AtspiEventQueue> m_queue;
    // Null without the accessibility bus; destroyed first, so that nothing
    // is queued once the others go.
    std::unique_ptr<AtspiEventSource> m_source;
};

} // namespace velmora::linux_desktop
