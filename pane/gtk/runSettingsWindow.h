#pragma once

namespace velmora {

// Runs the settings window until it is closed; the exit status. Uses the
// installed platform, or the user's real desktop when none is installed.
int runSettingsWindow(int argc, char** argv);

} // namespace velmora
