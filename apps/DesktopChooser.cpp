#include "apps/DesktopChooser.h"

#include <cstdio>
#include <filesystem>

#if VELMORA_HAVE_LINUX_DESKTOP
#include "platform/gnome/MutterRemoteDesktopPointer.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/X11Pointer.h"
#include "shared/preferences/PlistFileDomainStore.h"

#include <cstdlib>
#endif

namespace velmora {

#if VELMORA_HAVE_LINUX_DESKTOP
namespace {

// Picks how the agent moves the pointer, by asking the session what it offers.
void chooseDesktop(linux_desktop::LinuxDesktop::Options& options)
{
    using gnome::MutterRemoteDesktopPointer;
    const char* display = std::getenv("DISPLAY");
    const std::string x11 = std::string("X11 (display ") + (display ? display : "none") + ")";
    if (!linux_desktop::X11Pointer::isWaylandSession()) {
        options.chosenBecause = "Desktop: " + x11 + ": not a Wayland session";
        return;
    }
    linux_desktop::GErrorPtr error;
    auto session = linux_desktop::GObjectRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
    if (session && MutterRemoteDesktopPointer::available(session.get())) {
        options.chosenBecause = "Desktop: GNOME on Wayland: mutter's remote desktop interface is on the session bus";
        options.waylandPointer = [](GDBusConnection* bus, SystemLog& log) -> std::unique_ptr<Pointer> {
            return std::make_unique<MutterRemoteDesktopPointer>(bus, log);
        };
        return;
    }
    options.chosenBecause = "Desktop: " + x11 + " in a Wayland session whose compositor offers no way to move the pointer";
}

} // namespace
#endif

// static
std::unique_ptr<Platform> DesktopChooser::realDesktop(const std::string& applicationDomain, const std::string& logIdentity, Purpose purpose)
{
#if VELMORA_HAVE_LINUX_DESKTOP
    using linux_desktop::LinuxDesktop;
    LinuxDesktop::Options options;
    options.role = purpose == Purpose::Agent ? LinuxDesktop::Role::Agent : LinuxDesktop::Role::Pane;
    options.applicationDomain = applicationDomain;
    options.logIdentity = logIdentity;
    // At login the agent may come before the accessibility bus: it waits.
    options.waitsForAccessibilityBus = purpose == Purpose::Agent;
    if (purpose == Purpose::Agent)
        chooseDesktop(options);
    // The installed resources, or the source tree's for a program run from its build folder.
    std::error_code error;
    options.resourcesDirectory = std::filesystem::is_directory(VELMORA_DATADIR, error) ? VELMORA_DATADIR : VELMORA_SOURCE_RESOURCES;
    return LinuxDesktop::create(std::make_unique<PlistFileDomainStore>(), options);
#else
    (void)applicationDomain;
    (void)logIdentity;
    (void)purpose;
    std::fputs("velmora: built without the desktop backend\n", stderr);
    return nullptr;
#endif
}

} // namespace velmora
