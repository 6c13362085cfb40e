#pragma once

#include <iosfwd>
#include <string>

namespace velmora {

class SettingsPane;

// The run switch from a terminal: `velmora status`, `start` and `stop`. Each
// asks the agent first, as the settings window does when it is shown, and
// waits a bounded time for its announcement or its end. Answers the exit
// codes of VelmoraCommand.
class AgentSwitchCommand {
public:
    // `pane` and the streams (not owned) outlive the command.
    AgentSwitchCommand(SettingsPane& pane, std::ostream& out, std::ostream& err);

    int status();
    int start();
    int stop();

private:
    // Asks the agent whether it runs, as the pane does when it is shown.
    void askStatus();
    // Runs the loop until the controller stops waiting or `timeout` seconds
    // have passed; answers whether it stopped waiting.
    bool waitForAnswer(double timeout);
    // Refuses to touch the run switch when the controller would disable it.
    bool checkCanRun();
    // Says so when the login item starts an agent in a build folder, which
    // stops working once the clone is moved or deleted.
    void warnOfBuildFolderLoginItem(const std::string& agent);

    SettingsPane& m_pane;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace velmora
