#include "apps/DesktopChooser.h"

#include <cstdio>
#include <filesystem>

#if VELMORA_HAVE_LINUX_DESKTOP
#include "platform/linux/LinuxDesktop.h"
#include "shared/preferences/PlistFileDomainStore.h"
#endif

namespace velmora {

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
