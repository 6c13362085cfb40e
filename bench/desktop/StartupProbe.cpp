// The agent's start-up on the real desktop, timed to a marker that can be
// checked: the moment its tracker holds an observer for every running
// application. Builds what VelmoraBG builds, in its order, then prints
//   ready T observers N applications M requests R main T0 desktop T1
// (T: CLOCK_MONOTONIC microseconds at the marker, T0 on entering main, T1
// once the desktop backend is up; R: AT-SPI requests sent on the way) and
// exits. Run on the private desktop by bench/desktop/desktop-bench.py.
#include "agent/process/Agent.h"
#include "agent/snapping/AppTracker.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/LinuxDesktop.h"
#include "shared/preferences/PlistSettingsFile.h"

#include <glib.h>

#include <cstdio>

using namespace velmora;

int main()
{
    const gint64 entered = g_get_monotonic_time();
    linux_desktop::LinuxDesktop::Options options;
    options.applicationDomain = "com.brightfen.velmora";
    options.logIdentity = "VelmoraBG";
    options.resourcesDirectory = VELMORA_SOURCE_RESOURCES;
    auto desktop = linux_desktop::LinuxDesktop::create(std::make_unique<PlistSettingsFile>(), options);
    if (!desktop) {
        std::fputs("startup-probe: no real desktop here\n", stderr);
        return 1;
    }
    const gint64 created = g_get_monotonic_time();
    ScopedPlatform scoped(*desktop);
    Agent delegate(*desktop);
    delegate.start();
    const gint64 ready = g_get_monotonic_time();

    const size_t applications = desktop->workspace().launchedApplications().size();
    const size_t observers = delegate.appTracker() ? delegate.appTracker()->observers().size() : 0;
    auto* atspi = dynamic_cast<linux_desktop::AtspiAccessibility*>(&desktop->accessibility());
    std::printf("ready %lld observers %zu applications %zu requests %ld main %lld desktop %lld\n", static_cast<long long>(ready),
        observers, applications, atspi ? atspi->requestCount() : -1L, static_cast<long long>(entered),
        static_cast<long long>(created));
    return 0;
}
