// The `velmora` command: the settings pane from a terminal.
#include "apps/DesktopChooser.h"
#include "apps/MessageCatalog.h"
#include "pane/VelmoraCommand.h"
#if VELMORA_HAVE_SETTINGS_WINDOW
#include "pane/gtk/runSettingsWindow.h"
#endif

#include "platform/Gettext.h"

#include <iostream>

int main(int argc, char** argv)
{
    velmora::MessageCatalog::open();
    // The user's own desktop, where the agent runs; never a simulated one,
    // whose agent and settings would not be the user's.
    auto realDesktop = [] {
        return velmora::DesktopChooser::realDesktop("com.brightfen.velmora", "velmora", velmora::DesktopChooser::Purpose::Pane);
    };
#if VELMORA_HAVE_SETTINGS_WINDOW
    if (argc <= 1)
        return velmora::runSettingsWindow(argc, argv, realDesktop);
#endif
    velmora::VelmoraCommand command(std::cout, std::cerr);
#if VELMORA_HAVE_SETTINGS_WINDOW
    command.setWithoutCommandHelp(_("Without a command, opens the settings window."));
#endif
    command.setDesktopProvider(realDesktop);
    return command.run({argv + 1, argv + argc});
}
