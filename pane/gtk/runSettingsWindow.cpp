#include "pane/gtk/runSettingsWindow.h"

#include "platform/Gettext.h"

#include "pane/VelmoraCommand.h"
#include "pane/gtk/GtkFocusLossNotifier.h"
#include "pane/gtk/SettingsWindow.h"

#include <gtk/gtk.h>
#include <gtkmm/application.h>

#include <cstdio>

namespace velmora {

int runSettingsWindow(int argc, char** argv, const std::function<std::unique_ptr<Platform>()>& realDesktop)
{
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "velmora: %s\n",
            _("no display to open the settings window on (is this a graphical login?); "
              "`velmora --help` lists the commands that need none"));
        return VelmoraCommand::kExitNoDesktop;
    }
    // GTK first: the desktop's run loop is GLib's default context, which
    // the GTK main loop then drives.
    auto application = Gtk::Application::create(argc, argv, "com.brightfen.velmora.settings");
    std::unique_ptr<Platform> desktop;
    if (!Platform::isInstalled()) {
        desktop = realDesktop();
        if (!desktop) {
            std::fprintf(stderr, "velmora: %s\n", _("the settings window needs a desktop session"));
            return VelmoraCommand::kExitNoDesktop;
        }
    }
    std::unique_ptr<ScopedPlatform> scoped = desktop ? std::make_unique<ScopedPlatform>(*desktop) : nullptr;

    // The update check's offer closes when the program loses the front.
    Platform& platform = Platform::current();
    GtkFocusLossNotifier focusLoss(platform.localNotificationCenter());
    SettingsPane pane(platform);
    std::unique_ptr<SettingsWindow> window;
    application->signal_activate().connect([&] {
        if (!window) {
            window = std::make_unique<SettingsWindow>(pane);
            application->add_window(*window);
        }
        window->present();
    });
    const int status = application->run();
    pane.agentController().closeUI();
    window.reset();
    return status;
}

} // namespace velmora
