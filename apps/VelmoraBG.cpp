// The agent: watches every running application and moves the pointer onto
// the button that answers a newly focused dialog.
#include "agent/process/Agent.h"
#include "apps/DemoNarrator.h"
#include "apps/MessageCatalog.h"
#ifdef VELMORA_HAVE_LINUX_DESKTOP
#include "apps/DesktopChooser.h"
#endif
#include "platform/Platform.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimScenario.h"
#include "shared/process/AgentExitStatus.h"
#include "shared/i18n/CommandLineWords.h"
#include "shared/update/ProgramInfo.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

using namespace velmora;

namespace {

// The built-in demo: installed beside the program's other resources, or, in a
// build tree, taken from the sources.
std::string defaultScenarioPath()
{
    for (const char* dir : {VELMORA_DATADIR, VELMORA_SOURCE_RESOURCES}) {
        std::filesystem::path path = std::filesystem::path(dir) / "demo" / "scenario.json";
        std::error_code error;
        if (std::filesystem::exists(path, error))
            return path.string();
    }
    return {};
}

int runOnSimulatedDesktop(std::string scenarioPath, double speed)
{
    if (scenarioPath.empty())
        scenarioPath = defaultScenarioPath();
    if (scenarioPath.empty()) {
        std::cerr << "VelmoraBG: " << _("the demo scenario is not installed (demo/scenario.json)") << "\n";
        return 1;
    }
    std::string error;
    auto scenario = sim::SimScenario::fromFile(scenarioPath, error);
    if (!scenario) {
        std::cerr << "VelmoraBG: " << scenarioPath << ": " << error << '\n';
        return 1;
    }

    // The demo keeps its settings in memory: it never touches the user's own.
    sim::SimDesktop desktop;
    ScopedPlatform scoped(desktop);
    // TRANSLATORS: the demo's first line: the scenario file played and how long it lasts.
    std::cout << i18n::format(_("Demo desktop: %s (%g s)"), scenarioPath.c_str(), scenario->duration()) << "\n";
    scenario->schedule(desktop);
    DemoNarrator narrator(desktop, std::cout);

    Agent delegate(desktop);
    delegate.start();
    narrator.poll();

    constexpr double kStep = 0.05;
    const double end = desktop.now() + scenario->duration();
    while (desktop.now() < end && !desktop.terminated()) {
        desktop.advance(kStep);
        narrator.poll();
        if (speed > 0)
            std::this_thread::sleep_for(std::chrono::duration<double>(kStep / speed));
    }
    std::cout << _("Demo finished.") << "\n";
    return 0;
}

#ifdef VELMORA_HAVE_LINUX_DESKTOP
// Runs until the pane orders the agent to quit or the system ends it.
int runOnRealDesktop(Platform& desktop)
{
    ScopedPlatform scoped(desktop);
    Agent delegate(desktop);
    if (!delegate.start())
        return delegate.anotherAgentRuns() ? 0 : 1;
    desktop.runLoop().run();
    return 0;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    MessageCatalog::open();
    CLI::App cli{std::string("VelmoraBG: ") + _("moves the pointer onto the button that answers a new dialog.")};
    i18n::translateCommandLineWords(cli);
    cli.set_version_flag("--version", std::string("VelmoraBG ") + ProgramInfo::buildVersion(), _("Print the version and exit"));
    std::string scenario;
    bool demo = false;
    bool failWithoutDesktop = false;
    double speed = 4.0;
    cli.add_flag("--demo", demo, _("Run on the simulated demo desktop, even where a real desktop exists"));
    cli.add_flag(AgentExitStatus::kFailWithoutDesktopOption, failWithoutDesktop,
        _("Where there is no desktop to watch, exit with a code that says what is missing (20 no X display, 21 no session bus, "
          "22 no accessibility bus within 5 s) instead of playing the demo; how the settings start the agent"));
    cli.add_option("--scenario", scenario, _("Scenario file to play on the demo desktop (JSON; see the README)"))->check(CLI::ExistingFile);
    cli.add_option("--speed", speed, _("Demo seconds per real second; 0 plays as fast as possible"))->check(CLI::NonNegativeNumber);
    CLI11_PARSE(cli, argc, argv);

#ifdef VELMORA_HAVE_LINUX_DESKTOP
    if (!demo && scenario.empty()) {
        int missing = 1;
        const double patience = failWithoutDesktop ? AgentExitStatus::kAccessibilityBusPatience : 0;
        if (auto desktop = DesktopChooser::realDesktop("com.brightfen.velmora", "VelmoraBG", DesktopChooser::Purpose::Agent, patience, &missing))
            return runOnRealDesktop(*desktop);
        // Started by the settings, which wait for an announcement the demo
        // would never make: they learn why from the exit code.
        if (failWithoutDesktop)
            return missing;
        std::cerr << "VelmoraBG: " << _("no desktop to watch here; playing the demo instead.") << "\n";
    }
#else
    (void)demo;
    if (failWithoutDesktop) {
        std::cerr << "VelmoraBG: " << _("built without the desktop backend: no desktop to watch") << "\n";
        return 1;
    }
#endif
    return runOnSimulatedDesktop(scenario, speed);
}
