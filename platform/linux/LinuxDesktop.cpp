#include "platform/linux/LinuxDesktop.h"

#include "platform/linux/AccessibilityBusWatch.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/BusNameOwner.h"
#include "platform/linux/CanberraSoundService.h"
#include "platform/linux/DBusAgentChannel.h"
#include "platform/linux/DBusSessionBroadcast.h"
#include "platform/linux/FreedesktopNotificationAlertService.h"
#include "platform/linux/GioApplicationFinder.h"
#include "platform/linux/GlibRunLoop.h"
#include "platform/linux/LinuxApplication.h"
#include "platform/linux/LinuxPaneServices.h"
#include "platform/linux/LinuxProcessManager.h"
#include "platform/linux/NotificationOrDialogAlertService.h"
#include "platform/linux/LinuxWorkspace.h"
#include "platform/linux/RoutingSettingsStore.h"
#include "platform/linux/SyslogSystemLog.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11DisplayPower.h"
#include "platform/linux/UnknownScreens.h"
#include "platform/linux/X11Pointer.h"
#include "platform/linux/X11Screens.h"
#include "platform/linux/X11WindowLocator.h"
#include "platform/linux/XWaylandWindows.h"
#include "platform/linux/XdgAutostartStore.h"
#include "platform/linux/ZenityAlertService.h"
#include "platform/Gettext.h"

#include <atspi/atspi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace velmora::linux_desktop {

// static
std::unique_ptr<LinuxDesktop> LinuxDesktop::create(std::unique_ptr<SettingsStore> preferences, Options options, Missing* missing)
{
    auto fail = [missing](Missing what) {
        if (missing)
            *missing = what;
        return nullptr;
    };
    std::unique_ptr<LinuxDesktop> desktop(new LinuxDesktop);
    desktop->m_log = std::make_unique<SyslogSystemLog>(options.logIdentity);

    const bool agent = options.role == Role::Agent;
    if (agent && !options.startLine.empty())
        desktop->m_log->log(options.startLine);
    if (agent && !options.chosenBecause.empty())
        desktop->m_log->log(options.chosenBecause);
    const bool wayland = static_cast<bool>(options.waylandPointer);
    if (!wayland)
        desktop->m_x11 = X11Connection::open();
    if (!desktop->m_x11 && !wayland && agent) {
        std::fprintf(stderr, "velmora: %s\n", _("no X display"));
        return fail(Missing::Display);
    }
    std::string busError;
    desktop->m_sessionBus = sessionBusWithin(kSessionBusConnectMs, busError);
    if (!desktop->m_sessionBus) {
        std::fprintf(stderr, "velmora: %s\n", i18n::format(_("no session bus: %s"), busError.c_str()).c_str());
        return fail(Missing::SessionBus);
    }
    // The pane reaches the agent and the settings without the accessibility
    // bus, and must answer even while the registry on it does not: it never
    // joins the bus, nor starts libatspi.
    if (agent && options.waitsForAccessibilityBus) {
        desktop->m_accessibilityBus = AccessibilityBusWatch::waitForBus(desktop->m_sessionBus.share(), *desktop->m_log,
            options.accessibilityBusPatience);
        if (!desktop->m_accessibilityBus) {
            std::fprintf(stderr, "velmora: %s\n", i18n::format(_("no accessibility bus within %g seconds"), options.accessibilityBusPatience).c_str());
            return fail(Missing::AccessibilityBus);
        }
    } else if (agent) {
        const std::string address = AtspiAccessibility::busAddress(desktop->m_sessionBus.get());
        if (address.empty()) {
            std::fprintf(stderr, "velmora: %s\n", _("no accessibility bus"));
            return fail(Missing::AccessibilityBus);
        }
        desktop->m_accessibilityBus = busAtAddressWithin(address, kSessionBusConnectMs, busError);
        if (!desktop->m_accessibilityBus) {
            std::fprintf(stderr, "velmora: %s\n", i18n::format(_("cannot reach the accessibility bus: %s"), busError.c_str()).c_str());
            return fail(Missing::AccessibilityBus);
        }
    }
    if (desktop->m_accessibilityBus) {
        if (atspi_init() > 1) {
            std::fprintf(stderr, "velmora: %s\n", _("AT-SPI could not start"));
            return fail(Missing::AccessibilityBus);
        }
        // Both budgets alike: libatspi would otherwise give every application it
        // saw less than 15 s ago (all of them just after start-up, and the one
        // whose dialog just opened) its long start-up grace per request.
        atspi_set_timeout(kAtspiTimeoutSettingMs, kAtspiTimeoutSettingMs);
    }
    if (desktop->m_accessibilityBus && options.waitsForAccessibilityBus) {
        desktop->m_busClosedHandler = g_signal_connect(desktop->m_accessibilityBus.get(), "closed",
            G_CALLBACK(&LinuxDesktop::onAccessibilityBusClosed), desktop.get());
    }

    Display* display = desktop->m_x11 ? desktop->m_x11->display() : nullptr;
    desktop->m_runLoop = std::make_unique<GlibRunLoop>();
    desktop->m_localCenter = std::make_unique<NotificationCenter>();
    if (display)
        desktop->m_windowLocator = std::make_unique<X11WindowLocator>(display);
    const char* xwaylandDisplay = std::getenv("DISPLAY");
    if (wayland && agent && xwaylandDisplay && *xwaylandDisplay)
        desktop->m_xwayland = std::make_unique<XWaylandWindows>(xwaylandDisplay, *desktop->m_log);
    desktop->m_accessibility = std::make_unique<AtspiAccessibility>(
        AtspiAccessibility::Buses{desktop->m_sessionBus.share(), desktop->m_accessibilityBus.share()}, desktop->m_windowLocator.get(),
        desktop->m_xwayland.get());
    if (wayland) {
        auto made = options.waylandPointer(desktop->m_sessionBus.get(), *desktop->m_log, *desktop->m_accessibility);
        desktop->m_pointer = std::move(made.pointer);
        desktop->m_accessibility->setSurfaceLocator(made.surfaces);
        desktop->m_accessibility->setQtDrawsDecorations(made.qtDrawsDecorations);
        desktop->m_screens = std::make_unique<UnknownScreens>();
    } else if (display) {
        desktop->m_pointer = std::make_unique<X11Pointer>(*desktop->m_x11, *desktop->m_log);
        desktop->m_screens = std::make_unique<X11Screens>(*desktop->m_x11);
        desktop->m_power = std::make_unique<X11DisplayPower>(display);
    }
    desktop->m_processes = std::make_unique<LinuxProcessManager>();
    desktop->m_workspace = std::make_unique<LinuxWorkspace>(*desktop->m_accessibility, *desktop->m_processes,
        desktop->m_power.get(), *desktop->m_runLoop);
    desktop->m_distributed = std::make_unique<DBusSessionBroadcast>(desktop->m_sessionBus.share());
    desktop->m_agentChannel = std::make_unique<DBusAgentChannel>(desktop->m_sessionBus.share());
    desktop->m_preferences = std::move(preferences);
    desktop->m_loginItems = std::make_unique<XdgAutostartStore>();
    desktop->m_store = std::make_unique<RoutingSettingsStore>(*desktop->m_preferences);
    desktop->m_store->route(XdgAutostartStore::kDomain, *desktop->m_loginItems);
    desktop->m_defaults = std::make_unique<ProgramSettings>(*desktop->m_store, options.applicationDomain);
    desktop->m_sounds = std::make_unique<CanberraSoundService>(SoundLibrary(options.resourcesDirectory));
    desktop->m_application = std::make_unique<LinuxApplication>(*desktop->m_localCenter, *desktop->m_runLoop);
    // The agent lives until the session ends, which tells it so by signal.
    if (agent)
        desktop->m_application->terminateOnSignals(*desktop->m_log);
    FreedesktopNotificationAlertService::Sender sender;
    sender.desktopEntry = options.applicationDomain + ".settings";
    desktop->m_alerts = std::make_unique<NotificationOrDialogAlertService>(
        std::make_unique<FreedesktopNotificationAlertService>(desktop->m_sessionBus.share(), std::move(sender)),
        std::make_unique<ZenityAlertService>(desktop->m_localCenter.get()));
    desktop->m_paneServices = std::make_unique<LinuxPaneServices>();
    desktop->m_paneServices->setWaylandPointerReading(
        {options.waylandPointerReadable, options.waylandPointerHowToEnable, options.waylandPointerMoveRefusal});
    desktop->m_applicationFinder = std::make_unique<GioApplicationFinder>();
    return desktop;
}

LinuxDesktop::~LinuxDesktop()
{
    if (m_busClosedHandler)
        g_signal_handler_disconnect(m_accessibilityBus.get(), m_busClosedHandler);
    m_busReturn.reset();
    // Everything that holds AT-SPI objects goes first. libatspi itself is
    // left running: after atspi_exit() it cannot be started again in the
    // same process, and a later desktop (a test's, a restarted one) needs it.
    m_workspace.reset();
    m_accessibility.reset();
    // Signals are sent from GDBus's worker thread: a short-lived program (the
    // command) would otherwise end before its last order left.
    if (m_sessionBus)
        g_dbus_connection_flush_sync(m_sessionBus.get(), nullptr, nullptr);
}

namespace {

// libatspi keeps the connection it made at atspi_init() for the life of the
// process, and cannot be started again: after atspi_exit() the registry's
// object it keeps stays behind, disposed, and every request to the registry
// fails. A new process image (same pid, same arguments) is the only way onto
// a new bus. The session bus connection goes with the old image, and with it
// any name the agent owns, before the new image asks for it.
void startAnew(SystemLog& log, GDBusConnection* sessionBus)
{
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    for (std::string argument; std::getline(cmdline, argument, '\0');)
        arguments.push_back(argument);
    if (arguments.empty()) {
        log.log("cannot start anew: the program's arguments cannot be read");
        return;
    }
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (sessionBus) {
        // The agent's name is given back now, not when the bus daemon gets
        // round to the closed connection: the new image must not find it
        // still taken, by itself, and end as a second agent would.
        if (GVariant* reply = g_dbus_connection_call_sync(sessionBus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "ReleaseName", g_variant_new("(s)", DBusAgentChannel::kBusName), nullptr, G_DBUS_CALL_FLAGS_NONE, kBusCallMs, nullptr, nullptr))
            g_variant_unref(reply);
        // Orders already sent (an answer to the pane) leave before the image goes.
        g_dbus_connection_flush_sync(sessionBus, nullptr, nullptr);
    }
    execv("/proc/self/exe", argv.data());
    log.log(std::string("cannot start anew: ") + g_strerror(errno));
}

} // namespace

// static
void LinuxDesktop::onAccessibilityBusClosed(GDBusConnection*, gboolean, GError*, gpointer data)
{
    auto* self = static_cast<LinuxDesktop*>(data);
    if (self->m_busReturn)
        return;
    self->m_log->log("the accessibility bus has gone: no application can be watched until it comes back");
    self->m_busReturn = std::make_unique<AccessibilityBusWatch>(self->m_sessionBus.share(), [self](GObjectRef<GDBusConnection>) {
        self->m_log->log(_("the accessibility bus is back: starting anew to watch applications on it"));
        startAnew(*self->m_log, self->m_sessionBus.get());
    });
}

Accessibility& LinuxDesktop::accessibility() { return *m_accessibility; }
namespace {

[[noreturn]] void noDisplay(const char* what)
{
    std::fprintf(stderr, "velmora: %s used without an X display\n", what);
    std::abort();
}

} // namespace

Pointer& LinuxDesktop::pointer()
{
    if (!m_pointer)
        noDisplay("the pointer");
    return *m_pointer;
}

Screens& LinuxDesktop::screens()
{
    if (!m_screens)
        noDisplay("the screens");
    return *m_screens;
}

Workspace& LinuxDesktop::workspace() { return *m_workspace; }
RunLoop& LinuxDesktop::runLoop() { return *m_runLoop; }
NotificationCenter& LinuxDesktop::localNotificationCenter() { return *m_localCenter; }
SessionBroadcast& LinuxDesktop::distributedNotificationCenter() { return *m_distributed; }
AgentChannel& LinuxDesktop::agentChannel() { return *m_agentChannel; }
ProgramSettings& LinuxDesktop::standardUserDefaults() { return *m_defaults; }
SoundService& LinuxDesktop::sounds() { return *m_sounds; }
ProcessManager& LinuxDesktop::processManager() { return *m_processes; }
Application& LinuxDesktop::application() { return *m_application; }
SystemLog& LinuxDesktop::systemLog() { return *m_log; }
AlertService& LinuxDesktop::alerts() { return *m_alerts; }
PaneServices& LinuxDesktop::paneServices() { return *m_paneServices; }
ApplicationFinder& LinuxDesktop::applicationFinder() { return *m_applicationFinder; }

} // namespace velmora::linux_desktop
