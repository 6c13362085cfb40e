#include "apps/DesktopChooser.h"

#include "platform/Gettext.h"
#include "shared/process/AgentExitStatus.h"

#include <cstdio>
#include <filesystem>

#if VELMORA_HAVE_LINUX_DESKTOP
#include "platform/gnome/MutterRemoteDesktopPointer.h"
#include "platform/gnome/ShellExtensionPointer.h"
#include "platform/kde/KWinAuthorisation.h"
#include "platform/kde/KWinPointer.h"
#include "platform/kde/KWinScript.h"
#include "platform/linux/BusNameOwner.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/X11Pointer.h"
#include "shared/preferences/PlistSettingsFile.h"

#include <cstdlib>
#endif

namespace velmora {

#if VELMORA_HAVE_LINUX_DESKTOP
namespace {

bool isGnome()
{
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    return desktops && std::string(desktops).find("GNOME") != std::string::npos;
}

bool isKde()
{
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    return desktops && std::string(desktops).find("KDE") != std::string::npos;
}

// Picks how the agent moves the pointer, by asking the session what it offers.
void chooseDesktop(linux_desktop::LinuxDesktop::Options& options)
{
    using gnome::MutterRemoteDesktopPointer;
    using gnome::ShellExtensionPointer;
    const char* display = std::getenv("DISPLAY");
    // TRANSLATORS: the agent's desktop when it moves the pointer through X11; %s is the display, such as ":0".
    const std::string x11 = i18n::format(_("X11 (display %s)"), display ? display : C_("display", "none"));
    if (!linux_desktop::X11Pointer::isWaylandSession()) {
        // TRANSLATORS: one of the agent's first lines: the desktop it chose and why.
        options.chosenBecause = i18n::format(_("Desktop: %s: not a Wayland session"), x11.c_str());
        return;
    }
    std::string error;
    auto session = linux_desktop::sessionBusWithin(linux_desktop::kSessionBusConnectMs, error);
    const bool extension = session && ShellExtensionPointer::available(session.get());
    if (extension || (session && MutterRemoteDesktopPointer::available(session.get()))) {
        options.chosenBecause = extension
            ? _("Desktop: GNOME on Wayland: Velmora's GNOME Shell extension is on the session bus")
            : _("Desktop: GNOME on Wayland: mutter's remote desktop interface is on the session bus "
                "(Velmora's GNOME Shell extension is not, so the pointer cannot be read)");
        // Both ways, whichever is there at the moment: the extension may be
        // enabled, or the shell restarted, while the agent runs.
        options.waylandPointer = [](GDBusConnection* bus, SystemLog& log, Accessibility& accessibility) {
            auto pointer = std::make_unique<ShellExtensionPointer>(bus, log, accessibility, [bus, &log] {
                return std::make_unique<MutterRemoteDesktopPointer>(bus, log);
            });
            linux_desktop::LinuxDesktop::Options::WaylandPointer made;
            made.surfaces = pointer.get();
            made.pointer = std::move(pointer);
            return made;
        };
        return;
    }
    if (session && isKde() && kde::KWinScript::available(session.get())) {
        options.chosenBecause = _("Desktop: KDE Plasma on Wayland: KWin is on the session bus");
        options.waylandPointer = [](GDBusConnection* bus, SystemLog& log, Accessibility& accessibility) {
            linux_desktop::LinuxDesktop::Options::WaylandPointer made;
            auto pointer = std::make_unique<kde::KWinPointer>(log, accessibility, bus);
            made.surfaces = pointer.get();
            made.pointer = std::move(pointer);
            made.qtDrawsDecorations = false;
            return made;
        };
        return;
    }
    options.chosenBecause = i18n::format(_("Desktop: %s in a Wayland session whose compositor offers no way to move the pointer"), x11.c_str());
}

} // namespace
#endif

// static
std::unique_ptr<Platform> DesktopChooser::realDesktop(const std::string& applicationDomain, const std::string& logIdentity, Purpose purpose,
    double accessibilityBusPatience, int* missingExitCode)
{
#if VELMORA_HAVE_LINUX_DESKTOP
    using linux_desktop::LinuxDesktop;
    LinuxDesktop::Options options;
    options.role = purpose == Purpose::Agent ? LinuxDesktop::Role::Agent : LinuxDesktop::Role::Pane;
    options.applicationDomain = applicationDomain;
    options.logIdentity = logIdentity;
    // At login the agent may come before the accessibility bus: it waits.
    options.waitsForAccessibilityBus = purpose == Purpose::Agent;
    options.accessibilityBusPatience = accessibilityBusPatience;
    if (purpose == Purpose::Agent) {
        // TRANSLATORS: the agent's first line; %s is its version.
        options.startLine = i18n::format(_("Velmora %s agent started"), VELMORA_VERSION);
        chooseDesktop(options);
    }
    else if (linux_desktop::X11Pointer::isWaylandSession() && isGnome()) {
        options.waylandPointerReadable = [] {
            std::string error;
            auto session = linux_desktop::sessionBusWithin(linux_desktop::kSessionBusConnectMs, error);
            return gnome::ShellExtensionPointer::available(session.get());
        };
        options.waylandPointerHowToEnable = _(gnome::ShellExtensionPointer::kHowToEnable);
    } else if (linux_desktop::X11Pointer::isWaylandSession() && isKde()) {
        // KWin tells where the pointer is through its scripting interface.
        options.waylandPointerReadable = [] {
            std::string error;
            auto session = linux_desktop::sessionBusWithin(linux_desktop::kSessionBusConnectMs, error);
            return session && kde::KWinScript::available(session.get());
        };
        options.waylandPointerMoveRefusal = [](const std::string& agentPath) {
            return kde::KWinAuthorisation::refusalReason(agentPath, kde::KWinAuthorisation::dataDirectories());
        };
    }
    // The installed resources, or the source tree's for a program run from its build folder.
    std::error_code error;
    options.resourcesDirectory = std::filesystem::is_directory(VELMORA_DATADIR, error) ? VELMORA_DATADIR : VELMORA_SOURCE_RESOURCES;
    LinuxDesktop::Missing missing = LinuxDesktop::Missing::Nothing;
    auto desktop = LinuxDesktop::create(std::make_unique<PlistSettingsFile>(), options, &missing);
    if (!desktop && missingExitCode) {
        switch (missing) {
        case LinuxDesktop::Missing::Display:
            *missingExitCode = AgentExitStatus::kNoDisplay;
            break;
        case LinuxDesktop::Missing::SessionBus:
            *missingExitCode = AgentExitStatus::kNoSessionBus;
            break;
        case LinuxDesktop::Missing::AccessibilityBus:
            *missingExitCode = AgentExitStatus::kNoAccessibilityBus;
            break;
        case LinuxDesktop::Missing::Nothing:
            *missingExitCode = 1;
            break;
        }
    }
    return desktop;
#else
    (void)applicationDomain;
    (void)logIdentity;
    (void)purpose;
    (void)accessibilityBusPatience;
    if (missingExitCode)
        *missingExitCode = 1;
    std::fprintf(stderr, "velmora: %s\n", _("built without the desktop backend"));
    return nullptr;
#endif
}

} // namespace velmora
