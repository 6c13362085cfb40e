// Dialogs of every toolkit on the private GNOME Wayland desktop, answered by
// the agent as installed. Mutter counts window-relative moves from the
// corner of a window's surface; GTK 4 counts its positions from inside its
// shadow (libadwaita's four times plain GTK's), Qt on Wayland from inside
// its own title bar and border. Each dialog reports where the pointer came
// to rest on its own button, in its window's coordinates.

#include "tests/platform/gnome/GnomeSession.h"
#include "tests/platform/wayland/WaylandAgentTest.h"

namespace velmora::wayland::testing {
namespace {

class DialogsOnGnomeWaylandTest : public DialogsOfEveryToolkitTest { };

TEST_P(DialogsOnGnomeWaylandTest, ThePointerRestsOnTheDefaultButtonAtTheAgentsSpot)
{
    expectTheDefaultButtonSnapped(gnomeDesktopLine());
}

INSTANTIATE_TEST_SUITE_P(Toolkits, DialogsOnGnomeWaylandTest,
    ::testing::Values(Toolkit{"gtk4", GTK4_DIALOG_SCRIPT, "gtk"},
                      Toolkit{"libadwaita", GTK4_DIALOG_SCRIPT, "adwaita"},
                      Toolkit{"qt5", QT_DIALOG_SCRIPT, "qt5", "wayland"},
                      Toolkit{"qt6", QT_DIALOG_SCRIPT, "qt6", "wayland"}),
    toolkitName);

} // namespace
} // namespace velmora::wayland::testing
