#pragma once

// What the GNOME tests add to the shared Wayland harness: which compositor
// the private desktop runs, and the line with which the agent names it.

#include <cstdlib>
#include <string>

namespace velmora::wayland::testing {

// GNOME Shell with Velmora's extension, where the agent moves the pointer
// through the extension, or mutter alone.
inline bool underGnomeShell()
{
    const char* compositor = std::getenv("VELMORA_TEST_COMPOSITOR");
    return compositor && std::string(compositor) == "gnome-shell";
}

inline const char* gnomeDesktopLine()
{
    return underGnomeShell() ? "Desktop: GNOME on Wayland: Velmora's GNOME Shell extension is on the session bus"
                             : "Desktop: GNOME on Wayland: mutter's remote desktop interface is on the session bus";
}

} // namespace velmora::wayland::testing
