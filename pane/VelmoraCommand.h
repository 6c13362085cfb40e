#pragma once

#include "pane/PaneWindow.h"
#include "pane/SettingsPane.h"

#include "platform/Platform.h"
#include "platform/Gettext.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// The `velmora` command: the pane's controllers driven from a terminal.
// Every change takes the path the settings window takes, so each setting is
// one write and one reload order, and the run switch starts and stops the
// agent together with its login item. This class parses the command line,
// answers `get`, `set` and shell completion, and hands the run switch to
// AgentSwitchCommand and the ignored list to IgnoreListCommand.
class VelmoraCommand final : private PaneWindow {
public:
    // Exit codes, as `velmora --help` lists them.
    static constexpr int kExitSuccess = 0;
    static constexpr int kExitNotRunning = 1;  // `status`: the agent does not run
    static constexpr int kExitUsage = 2;       // bad arguments, unknown key, value of the wrong type
    static constexpr int kExitRefused = 3;     // accessibility off, toolkit too old, no such application, built-in entry,
                                               // a key Velmora keeps itself
    static constexpr int kExitNoAnswer = 4;    // the agent did not answer in time
    static constexpr int kExitNoDesktop = 5;   // no desktop session: no session bus, or no display for the window
    static constexpr int kExitNotWritten = 6;  // the settings file could not be written
    static constexpr int kExitAgentEnded = 7;  // `start`: the agent ended before it started watching

    // How long `start` and `stop` wait for the agent's announcement or its
    // termination notice. The pane itself waits indefinitely; a command must
    // end. An agent comes up in well under a second, so ten seconds only
    // run out when it cannot start at all.
    static constexpr double kAgentAnswerTimeout = 10.0;

    // Output goes to `out`, messages about failures to `err` (not owned).
    VelmoraCommand(std::ostream& out, std::ostream& err);
    ~VelmoraCommand() override;

    // Where no platform is installed, a command that needs the desktop asks
    // `provider` for one (help and usage do not) and keeps it installed until
    // the command object goes; a null answer ends the command with
    // kExitNoDesktop. The provider reports its own reasons.
    using DesktopProvider = std::function<std::unique_ptr<Platform>()>;
    void setDesktopProvider(DesktopProvider provider) { m_desktopProvider = std::move(provider); }

    // What the help says `velmora` alone does.
    void setWithoutCommandHelp(std::string text) { m_withoutCommandHelp = std::move(text); }

    // Runs one command line (without the program name); returns the exit code.
    int run(const std::vector<std::string>& arguments);

    // Whether a settings write failed after `failedBefore` failures of
    // `controller`; says so on `err`.
    static bool reportFailedWrites(AgentController& controller, int failedBefore, std::ostream& err);

private:
    int get(const std::string& key);
    int set(const std::string& key, const std::string& text);
    // The hidden `__complete WHAT [KEY]`: words for shell completion, one a
    // line, nothing when there are none (see the README).
    int complete(const std::string& listed, const std::string& key);

    // A platform to run on: the installed one, or the provider's.
    bool ensureDesktop();
    // The controllers, built on first use: they bind to the platform's
    // services, which ensureDesktop() may install only after construction.
    SettingsPane& pane();

    // PaneWindow: the terminal is the window; there is nothing to raise.
    void activateAndOrderFront() override { }

    std::ostream& m_out; // not owned
    std::ostream& m_err; // not owned
    DesktopProvider m_desktopProvider;
    std::string m_withoutCommandHelp{_("Without a command, prints this help.")};
    // The controllers go before the desktop they use.
    std::unique_ptr<Platform> m_desktop;
    std::unique_ptr<ScopedPlatform> m_scopedDesktop;
    std::unique_ptr<SettingsPane> m_pane;
};

} // namespace velmora
