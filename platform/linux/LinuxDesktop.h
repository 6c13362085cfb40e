#pragma once

#include "platform/Platform.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>

namespace velmora::linux_desktop {

class AccessibilityBusWatch;
class AtspiAccessibility;
class CanberraSoundService;
class DBusAgentChannel;
class DBusSessionBroadcast;
class GioApplicationFinder;
class GlibRunLoop;
class LinuxApplication;
class LinuxPaneServices;
class LinuxProcessManager;
class NotificationOrDialogAlertService;
class LinuxWorkspace;
class RoutingSettingsStore;
class SurfaceLocator;
class SyslogSystemLog;
class X11Connection;
class X11DisplayPower;
class X11Pointer;
class X11Screens;
class X11WindowLocator;
class XWaylandWindows;
class XdgAutostartStore;

// The user's real desktop: accessibility over AT-SPI2, the pointer and
// screens of the X server, the GLib main loop, the session bus, XDG
// autostart for login items, libcanberra for sounds, /proc for processes,
// desktop notifications for alerts (zenity dialogs where there are none).
class LinuxDesktop final : public Platform {
public:
    // What the program needs of the desktop. The agent needs all of it. The
    // pane (the `velmora` command, the settings window) reaches the agent
    // over the session bus and the settings through files, so it needs only
    // the session bus; the X display is used where it exists. Its
    // accessibility() sees no application and only reports the switch.
    enum class Role { Agent, Pane };

    struct Options {
        Role role{Role::Agent};
        std::string applicationDomain{"com.brightfen.velmora"};
        std::string logIdentity{"VelmoraBG"};
        // The program's resources: their "sounds" folder is searched first.
        std::string resourcesDirectory;
        // The agent's own process: create() waits for the accessibility bus
        // (logging that it waits) instead of failing without it, and once
        // the bus has gone, the process starts itself anew when it returns.
        bool waitsForAccessibilityBus{false};
        // With waitsForAccessibilityBus: how many seconds create() waits for
        // the bus before it gives up; 0 waits for good (at login).
        double accessibilityBusPatience{0};
        // A Wayland compositor's way of moving the pointer, over the session
        // bus. When set the X display, if any, is XWayland's, which only
        // places X clients' windows: the pointer is this one, the screens
        // are unknown, and windows' positions are their own.
        // `accessibility` tells an element's process; a pointer that also
        // knows which window is under a point says so in `surfaces`.
        struct WaylandPointer {
            std::unique_ptr<Pointer> pointer;
            SurfaceLocator* surfaces{nullptr}; // within `pointer`, or null
            // Whether the compositor leaves Qt to draw its own decorations.
            bool qtDrawsDecorations{true};
        };
        std::function<WaylandPointer(GDBusConnection* session, SystemLog& log, Accessibility& accessibility)>
            waylandPointer;
        // For the settings window: whether the compositor tells where the
        // pointer is, and how to make it.
        std::function<bool()> waylandPointerReadable;
        std::string waylandPointerHowToEnable;
        std::function<std::string(const std::string& agentPath)> waylandPointerMoveRefusal;
        // What runs (program and version): the agent's first log line.
        std::string startLine;
        // Which desktop was chosen and why: the agent's next log line.
        std::string chosenBecause;
    };

    // What create() found missing.
    enum class Missing { Nothing, Display, SessionBus, AccessibilityBus };

    // Null, with the reason on standard error and in `missing` (if given),
    // when there is no X display (and no Wayland pointer was given),
    // no session bus or no accessibility bus (for Role::Pane: no session
    // bus; the pane never uses the accessibility bus). `preferences` stores
    // every domain but "loginwindow".
    static std::unique_ptr<LinuxDesktop> create(std::unique_ptr<SettingsStore> preferences, Options options,
        Missing* missing = nullptr);
    ~LinuxDesktop() override;
    LinuxDesktop(const LinuxDesktop&) = delete;
    LinuxDesktop& operator=(const LinuxDesktop&) = delete;

    // Platform overrides.
    Accessibility& accessibility() override;
    Pointer& pointer() override;
    Screens& screens() override;
    Workspace& workspace() override;
    RunLoop& runLoop() override;
    NotificationCenter& localNotificationCenter() override;
    SessionBroadcast& distributedNotificationCenter() override;
    AgentChannel& agentChannel() override;
    ProgramSettings& standardUserDefaults() override;
    SoundService& sounds() override;
    ProcessManager& processManager() override;
    Application& application() override;
    SystemLog& systemLog() override;
    AlertService& alerts() override;
    PaneServices& paneServices() override;
    ApplicationFinder& applicationFinder() override;

    // Whether pointer() and screens() may be used: the agent's desktop always
    // has them, the pane's only where it found an X display. Using them
    // without one is a programming error and ends the process.
    bool hasDisplay() const { return m_pointer != nullptr; }

    AtspiAccessibility& atspi() { return *m_accessibility; }

private:
    LinuxDesktop() = default;

    static void onAccessibilityBusClosed(GDBusConnection*, gboolean remotePeerVanished, GError* error, gpointer data);

    // Declared in the order of construction; destroyed in reverse.
    std::unique_ptr<SyslogSystemLog> m_log;
    std::unique_ptr<X11Connection> m_x11;
    GObjectRef<GDBusConnection> m_sessionBus;
    GObjectRef<GDBusConnection> m_accessibilityBus;
    std::unique_ptr<GlibRunLoop> m_runLoop;
    std::unique_ptr<NotificationCenter> m_localCenter;
    std::unique_ptr<X11WindowLocator> m_windowLocator;
    std::unique_ptr<XWaylandWindows> m_xwayland;
    std::unique_ptr<AtspiAccessibility> m_accessibility;
    std::unique_ptr<Pointer> m_pointer;
    std::unique_ptr<Screens> m_screens;
    std::unique_ptr<X11DisplayPower> m_power;
    std::unique_ptr<LinuxProcessManager> m_processes;
    std::unique_ptr<LinuxWorkspace> m_workspace;
    std::unique_ptr<DBusSessionBroadcast> m_distributed;
    std::unique_ptr<DBusAgentChannel> m_agentChannel;
    std::unique_ptr<SettingsStore> m_preferences;
    std::unique_ptr<XdgAutostartStore> m_loginItems;
    std::unique_ptr<RoutingSettingsStore> m_store;
    std::unique_ptr<ProgramSettings> m_defaults;
    std::unique_ptr<CanberraSoundService> m_sounds;
    std::unique_ptr<LinuxApplication> m_application;
    std::unique_ptr<NotificationOrDialogAlertService> m_alerts;
    std::unique_ptr<LinuxPaneServices> m_paneServices;
    std::unique_ptr<GioApplicationFinder> m_applicationFinder;
    // While the accessibility bus is gone: waits for its return.
    std::unique_ptr<AccessibilityBusWatch> m_busReturn;
    gulong m_busClosedHandler{0};
};

} // namespace velmora::linux_desktop
