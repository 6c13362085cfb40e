#pragma once

#include "pane/PaneWindow.h"
#include "pane/VelmoraPref.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace velmora {

// The `velmora` command: the pane's controllers driven from a terminal.
// Every change takes the path the settings window takes, so each setting is
// one write and one reload order, and the run switch starts and stops the
// agent together with its login item.
class VelmoraCommand final : private PaneWindow {
public:
    // Exit codes, as `velmora --help` lists them.
    static constexpr int kExitSuccess = 0;
    static constexpr int kExitNotRunning = 1;  // `status`: the agent does not run
    static constexpr int kExitUsage = 2;       // bad arguments, unknown key, value of the wrong type
    static constexpr int kExitRefused = 3;     // accessibility off, toolkit too old, no such application, built-in entry
    static constexpr int kExitNoAnswer = 4;    // the agent did not answer in time

    // How long `start` and `stop` wait for the agent's announcement or its
    // termination notice. The pane itself waits indefinitely; a command must
    // end. An agent comes up in well under a second, so ten seconds only
    // run out when it cannot start at all.
    static constexpr double kAgentAnswerTimeout = 10.0;

    // Output goes to `out`, messages about failures to `err` (not owned).
    VelmoraCommand(std::ostream& out, std::ostream& err);
    ~VelmoraCommand() override;

    // Runs one command line (without the program name); returns the exit code.
    int run(const std::vector<std::string>& arguments);

private:
    int status();
    int start();
    int stop();
    int get(const std::string& key);
    int set(const std::string& key, const std::string& text);
    int ignoreList();
    int ignoreAdd(const std::string& name);
    int ignoreRemove(const std::string& name);

    // Asks the agent whether it runs, as the pane does when it is shown.
    void askStatus();
    // Runs the loop until the controller stops waiting or `timeout` seconds
    // have passed; answers whether it stopped waiting.
    bool waitForAnswer(double timeout);
    // Refuses to touch the run switch when the controller would disable it.
    bool checkCanRun();

    // PaneWindow: the terminal is the window; there is nothing to raise.
    void activateAndOrderFront() override { }

    std::ostream& m_out; // not owned
    std::ostream& m_err; // not owned
    VelmoraPref m_pane;
};

} // namespace velmora
