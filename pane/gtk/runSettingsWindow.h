#pragma once

#include "platform/Platform.h"

#include <functional>
#include <memory>

namespace velmora {

// Runs the settings window until it is closed; the exit status. Uses the
// installed platform, or else the desktop `realDesktop` gives once GTK is up
// (the program picks it: the window never names a backend); null from it
// means there is no desktop session.
int runSettingsWindow(int argc, char** argv, const std::function<std::unique_ptr<Platform>()>& realDesktop);

} // namespace velmora
