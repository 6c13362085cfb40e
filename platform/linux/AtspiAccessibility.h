#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/Gtk4Conventions.h"
#include "platform/linux/HungAppLedger.h"
#include "platform/linux/SourceGuard.h"

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

namespace velmora::linux_desktop {

class AtspiObserver;
class SurfaceLocator;
class X11WindowLocator;
class XWaylandWindows;

// The accessibility interface of the desktop over AT-SPI2 (libatspi), in the
// engine's vocabulary:
// - an application element is the AT-SPI application of a process;
// - "AXWindows" are its top-levels (newest first), "AXFocusedWindow" its
//   active window, "AXFrontmost" whether it owns the active window, "AXHidden"
//   whether all its windows are iconified;
// - "AXChildren" and "AXParent" skip layout-only containers (AtspiRoleMap);
// - "AXDefaultButton" is the window's push button in the is-default state,
//   "AXCancelButton" its push button labelled as the toolkit labels its
//   cancel, no or close answer in the user's language;
// - without an X11 window locator (a Wayland session) windows say
//   "AXWindowRelativePositions": extents are then their window's own;
// - without it, extents are counted from the corner of the window's Wayland
//   surface, where the compositor counts window-relative pointer moves from:
//   GTK 4 and Qt count from inside their client-side decorations, which
//   surfaceMargin() adds back; X clients' windows (XWayland, when
//   `xwayland` is given) are counted from the window manager's frame, where
//   the compositor counts them;
// - GTK 4 applications (by the toolkit their application reports) follow
//   Gtk4Conventions: their dialogs' default button is chosen by its rule,
//   their window-relative extents are placed on the screen through the X
//   window, their doubled button names are read as shown, and their windows'
//   activation is taken from the active state's changes.
//
// Every request to an application carries kAtspiCallMs; one that runs out
// puts the application in the hung ledger and every later request to it
// fails at once with CannotComplete until it answers a ping. Events are
// queued as they arrive and delivered from an idle source, never from inside
// a request.
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
    void setSurfaceLocator(SurfaceLocator* surfaces) { m_surfaces = surfaces; }
    // Whether Qt on Wayland draws its own title bar and border, counted
    // inside its positions: where the compositor does not decorate windows
    // (mutter); KWin draws them outside the window's surface.
    void setQtDrawsDecorations(bool draws) { m_qtDrawsDecorations = draws; }
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    // Accessibility overrides.
    bool isAPIEnabled() override;
    AXElement createApplication(pid_t pid) override;
    AXElement createSystemWide() override;
    AXError copyAttributeNames(const AXElement& element, std::vector<std::string>& names) override;
    AXError copyAttributeValue(const AXElement& element, const std::string& attribute, AXValue& value) override;
    AXError copyElementAtPosition(const AXElement& element, float x, float y, AXElement& result) override;
    AXError getPid(const AXElement& element, pid_t& pid) override;
    AXError createObserver(pid_t pid, AXObserver::Callback callback, std::unique_ptr<AXObserver>& observer) override;

    // The accessibility bus's address as the session's bus launcher gives
    // it; "" when there is none (no launcher, or it did not answer in time).
    static std::string busAddress(GDBusConnection* sessionBus);

    // The processes with an AT-SPI application now, in the registry's order.
    std::vector<pid_t> applicationPids();
    // The process of the active application (see m_activeBus); 0 when none.
    pid_t activePid();
    void setApplicationHandler(ApplicationHandler handler) { m_onApplication = std::move(handler); }

    HungAppLedger& ledger() { return m_ledger; }
    // Requests sent to applications so far (cost measurements), and while an
    // event is being delivered, those sent for it so far.
    long requestCount() const { return m_requestCount; }
    long requestsThisEvent() const { return m_dispatching ? m_requestCount - m_eventReads.requestsBefore : 0; }

    // For AtspiObserver.
    int addObserver(AtspiObserver& observer);
    void removeObserver(int id);

private:
    struct QueuedEvent {
        std::string type;                   // an AT-SPI event type, or "registry:add" / "registry:remove"
        GObjectRef<AtspiAccessible> source; // null for the registry's events
        int detail1{0};
        std::string bus;                    // the application's bus name
    };
    struct AppRecord {
        pid_t pid{0};
        GObjectRef<AtspiAccessible> root;
    };
    // What was read while the current event is delivered. The engine reads
    // some attributes more than once for one notification (a button's size,
    // then its position and size; an application's windows for each of its
    // questions), and nothing it reads changes between two reads of one
    // delivery: events that arrive meanwhile wait their turn. Emptied between
    // events; nothing is kept outside a delivery.
    template <typename T>
    using ReadsOf = std::vector<std::pair<GObjectRef<AtspiAccessible>, T>>;
    struct EventReads {
        ReadsOf<AtspiRect> extents;
        ReadsOf<GObjectRef<AtspiStateSet>> states;
        ReadsOf<std::vector<GObjectRef<AtspiAccessible>>> children;
        // GTK 4: where each window's own origin lies on the screen, and the
        // window each button found in a window search belongs to.
        ReadsOf<std::optional<std::pair<int, int>>> windowOrigins;
        ReadsOf<GObjectRef<AtspiAccessible>> windowOfButton;
        // XWayland: where each X client window's frame lies on the X screen.
        ReadsOf<std::optional<std::pair<int, int>>> frameOrigins;
        long requestsBefore{0};
    };

    // One guarded request to the application owning `bus`: refused at once
    // while the application is hung; marks it hung when the request ran out
    // of time. Returns what `body` returned, or CannotComplete.
    AXError request(const std::string& bus, const char* what, const std::function<AXError(GErrorPtr& error)>& body);
    static AXError errorFor(const GErrorPtr& error);

    // Reads with the guard applied; empty on failure.
    std::optional<AtspiRole> roleOf(AtspiAccessible* accessible);
    GObjectRef<AtspiComponent> componentOf(AtspiAccessible* accessible);
    std::optional<std::string> nameOf(AtspiAccessible* accessible);
    std::optional<std::vector<GObjectRef<AtspiAccessible>>> childrenOf(AtspiAccessible* accessible);
    bool stateOf(AtspiAccessible* accessible, AtspiStateType state, AXError& error);
    AXError stateSetOf(AtspiAccessible* accessible, GObjectRef<AtspiStateSet>& states);
    AXError extentsOf(AtspiAccessible* accessible, AtspiRect& rect);
    // One uncached, guarded extents request in the toolkit's own terms.
    AXError rawExtentsOf(AtspiAccessible* accessible, AtspiCoordType type, AtspiRect& rect);
    // The toolkit of the application owning `bus`, by the name and version
    // it reports, asked once per application.
    enum class Toolkit { Other, Gtk4, Qt };
    Toolkit toolkitOf(const std::string& bus);
    // Whether the application owning `bus` follows GTK 4's conventions.
    bool followsGtk4(const std::string& bus) { return toolkitOf(bus) == Toolkit::Gtk4; }
    // The name as the user reads it (GTK 4's doubled names made single).
    std::optional<std::string> shownNameOf(AtspiAccessible* accessible);
    // Whether a toolkit shows the object: SHOWING and VISIBLE; GTK 4 never
    // sets SHOWING below its windows, so VISIBLE there (an unmapped widget
    // reads 0 x 0, which the engine refuses to land on).
    bool isShown(const std::string& bus, AtspiStateSet* states);
    // GTK 4: the top-level window of an object (itself for a window), and
    // where that window's own origin lies on the screen, from its X window.
    GObjectRef<AtspiAccessible> windowOf(AtspiAccessible* accessible);
    std::optional<std::pair<int, int>> windowOrigin(AtspiAccessible* window);
    // Without X11: where an application's windows' own origin lies in their
    // surfaces, which is where window-relative moves are counted from (none
    // but for GTK 4, and for Qt on Wayland rather than XWayland).
    Gtk4Conventions::Margin surfaceMargin(const std::string& bus, AtspiAccessible* any);
    // In a Wayland session: the X screen position of the frame around the X
    // client window holding `accessible`, from which the compositor counts
    // window-relative moves; none for a Wayland client, or without XWayland.
    std::optional<std::pair<int, int>> xwaylandFrameOf(AtspiAccessible* accessible);
    // The interfaces an object offers (kHas* bits): asked of the application
    // once per object, by libatspi, which keeps the answer.
    AXError interfacesOf(AtspiAccessible* accessible, unsigned& interfaces);

    AXError valueForApplication(const AtspiElement& app, const std::string& attribute, AXValue& value);
    AXError valueForObject(const AtspiElement& element, const std::string& attribute, AXValue& value);
    AXError windowsOf(const AtspiElement& app, std::vector<GObjectRef<AtspiAccessible>>& windows);
    AXError visibleChildren(AtspiAccessible* accessible, std::vector<GObjectRef<AtspiAccessible>>& children, int depth);
    AXError visibleParent(AtspiAccessible* accessible, AXElement& parent);
    // One timed request for the raw parent; null parent at the top.
    AXError parentOf(const std::string& bus, AtspiAccessible* accessible, GObjectRef<AtspiAccessible>& parent);
    AXError defaultButton(AtspiAccessible* window, AXElement& button);
    AXError cancelButton(AtspiAccessible* window, AXElement& button);
    AXError pushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons, bool onlyDefault);
    AXError collectPushButtons(AtspiAccessible* window, std::vector<GObjectRef<AtspiAccessible>>& buttons, bool onlyDefault,
        bool onlyShowing);
    AXError gtk4DefaultButton(AtspiAccessible* window, AXElement& button);
    // GTK 4: whether a button found in `window` has an area on screen.
    bool hasArea(AtspiAccessible* button, AXError& error);
    AXError deepestAt(AtspiAccessible* start, int x, int y, AXElement& result);

    // The application directory: bus name <-> process.
    void refreshApplications();
    const AppRecord* applicationForPid(pid_t pid);
    pid_t pidForBus(const std::string& bus, AtspiAccessible* any);
    AXElement applicationElement(const std::string& bus);

    // Events.
    static void onEvent(AtspiEvent* event, void* data);
    static gboolean onDispatch(gpointer data);
    void enqueue(QueuedEvent event);
    void dispatchQueued();
    void applicationJoinedOrLeft(const std::string& bus, bool joined);
    pid_t processOfBusName(const std::string& bus);
    void deliver(pid_t pid, const std::string& notification, const AXElement& element);
    static void onRegistrySignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* member,
        GVariant* parameters, gpointer data);

    Buses m_buses;
    X11WindowLocator* m_windows; // not owned
    SurfaceLocator* m_surfaces{nullptr}; // not owned
    bool m_qtDrawsDecorations{true};
    XWaylandWindows* m_xwayland; // not owned
    HungAppLedger m_ledger;
    GObjectRef<AtspiEventListener> m_listener;
    guint m_registrySubscription{0};
    std::deque<QueuedEvent> m_queue;
    SourceGuard m_dispatch;
    bool m_dispatching{false};
    EventReads m_eventReads;
    std::map<int, AtspiObserver*> m_observers; // not owned; each removes itself when destroyed
    int m_nextObserverId{1};
    std::map<std::string, AppRecord> m_appsByBus;
    // Every application seen, until the registry says it left: a refresh
    // drops a departed application before its leaving is dispatched, and
    // the termination notice still needs its process.
    std::map<std::string, pid_t> m_pidsByBus;
    // The active window as the events last told it (or a scan found it);
    // null when none is known.
    GObjectRef<AtspiAccessible> m_activeWindow;
    // The application that activated a window last. It stays the active
    // application while it goes from one of its windows to the next (a
    // closing dialog deactivates before its successor activates), until
    // another application's window activates or it leaves.
    std::string m_activeBus;
    std::map<std::string, GObjectRef<AtspiAccessible>> m_focusedByBus;
    ApplicationHandler m_onApplication;
    // Per application, until it leaves: its toolkit.
    std::map<std::string, Toolkit> m_toolkitByBus;
    std::map<std::string, Gtk4Conventions::Margin> m_surfaceMarginByBus;
    long m_requestCount{0};
};

} // namespace velmora::linux_desktop
