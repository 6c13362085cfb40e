// The `velmora` command: the settings pane from a terminal.
#include "pane/VelmoraCommand.h"
#include "platform/sim/SimDesktop.h"
#if VELMORA_HAVE_SETTINGS_WINDOW
#include "pane/gtk/runSettingsWindow.h"
#endif

#include <iostream>

int main(int argc, char** argv)
{
#if VELMORA_HAVE_SETTINGS_WINDOW
    if (argc <= 1)
        return velmora::runSettingsWindow(argc, argv);
#endif
    // TODO(issue 6): install the real desktop backend here. Until it exists
    // the command runs on a simulated desktop of its own and reaches no agent.
    velmora::sim::SimDesktop desktop;
    velmora::ScopedPlatform scoped(desktop);
    velmora::VelmoraCommand command(std::cout, std::cerr);
    return command.run({argv + 1, argv + argc});
}
