#include "pane/AgentSwitchCommand.h"

#include "pane/SettingsPane.h"
#include "pane/VelmoraCommand.h"
#include "platform/Gettext.h"
#include "platform/Platform.h"
#include "shared/loginitems/AutostartSynchronizer.h"

#include <filesystem>
#include <ostream>

namespace velmora {

AgentSwitchCommand::AgentSwitchCommand(SettingsPane& pane, std::ostream& out, std::ostream& err)
    : m_pane(pane)
    , m_out(out)
    , m_err(err)
{
}

int AgentSwitchCommand::status()
{
    // Only asks: a status check never stops an agent of another version.
    m_pane.agentController().setQueryOnly(true);
    askStatus();
    bool running = m_pane.agentController().isRunning();
    m_out << (running ? "running" : "not running") << "\n";
    return running ? VelmoraCommand::kExitSuccess : VelmoraCommand::kExitNotRunning;
}

int AgentSwitchCommand::start()
{
    auto& controller = m_pane.agentController();
    askStatus();
    if (controller.isRunning()) {
        // An agent that announced itself only after an earlier start gave up
        // waiting has no login item yet.
        AutostartSynchronizer::of(m_pane.platform()).setLaunchesAtLogin(true, controller.agentPath());
        warnOfBuildFolderLoginItem(controller.agentPath());
        m_out << "running\n";
        return VelmoraCommand::kExitSuccess;
    }
    if (!checkCanRun())
        return VelmoraCommand::kExitRefused;
    const std::string agent = controller.agentPath();
    if (!m_pane.platform().application().fileExists(agent)) {
        m_err << "velmora: " << i18n::format(_("the agent is not installed at %s"), agent.c_str()) << "\n";
        return VelmoraCommand::kExitRefused;
    }
    controller.setShouldRun(true);
    if (!controller.agentLaunchFailure().empty()) {
        m_err << "velmora: " << _("could not start the agent.") << " " << controller.agentLaunchFailure() << "\n";
        return VelmoraCommand::kExitRefused;
    }
    const bool answered = waitForAnswer(VelmoraCommand::kAgentAnswerTimeout);
    if (!controller.agentLaunchFailure().empty()) {
        m_err << "velmora: " << _("could not start the agent.") << " " << controller.agentLaunchFailure() << "\n";
        return VelmoraCommand::kExitAgentEnded;
    }
    if (!answered || !controller.isRunning()) {
        m_err << "velmora: "
              << i18n::format(_("the agent did not announce itself within %g seconds; it is not started at login "
                                "(`velmora start` again adds it once the agent runs)"),
                     double(VelmoraCommand::kAgentAnswerTimeout))
              << "\n";
        return VelmoraCommand::kExitNoAnswer;
    }
    warnOfBuildFolderLoginItem(agent);
    m_out << "running\n";
    return VelmoraCommand::kExitSuccess;
}

void AgentSwitchCommand::warnOfBuildFolderLoginItem(const std::string& agent)
{
    // CMake leaves its cache in every build folder and installs none.
    const std::filesystem::path folder = std::filesystem::path(agent).parent_path();
    if (!m_pane.platform().application().fileExists((folder / "CMakeCache.txt").string()))
        return;
    m_err << "velmora: "
          << i18n::format(_("at login this starts the agent in the build folder %s, which stops working once that folder is "
                            "moved or deleted (install the package to keep it)"),
                 folder.c_str())
          << "\n";
}

int AgentSwitchCommand::stop()
{
    auto& controller = m_pane.agentController();
    askStatus();
    if (!controller.isRunning()) {
        // The switch is already off; a login entry left from an agent that
        // ended on its own would still start it at the next login.
        AutostartSynchronizer::of(m_pane.platform()).setLaunchesAtLogin(false, controller.agentPath());
        m_out << "not running\n";
        return VelmoraCommand::kExitSuccess;
    }
    if (!checkCanRun())
        return VelmoraCommand::kExitRefused;
    controller.setShouldRun(false);
    if (!waitForAnswer(VelmoraCommand::kAgentAnswerTimeout) || controller.isRunning()) {
        m_err << "velmora: " << i18n::format(_("the agent did not confirm that it quit within %g seconds"), double(VelmoraCommand::kAgentAnswerTimeout)) << "\n";
        return VelmoraCommand::kExitNoAnswer;
    }
    m_out << "not running\n";
    return VelmoraCommand::kExitSuccess;
}

void AgentSwitchCommand::askStatus()
{
    auto& controller = m_pane.agentController();
    controller.setupUI();
    // The controller's own time-out ends the wait; this one only guards it.
    waitForAnswer(AgentClient::kStatusTimeout + 1.0);
}

bool AgentSwitchCommand::waitForAnswer(double timeout)
{
    auto& controller = m_pane.agentController();
    auto& loop = m_pane.platform().runLoop();
    const double deadline = loop.now() + timeout;
    bool timedOut = false;
    auto answered = controller.addObserver("waitingForResponse", [&](const std::string&) {
        if (!controller.waitingForResponse())
            loop.stop();
    });
    auto reaper = loop.scheduleTimer(timeout, TimerRepeats::No, [&] {
        timedOut = true;
        loop.stop();
    });
    // Something else may stop the loop early (an agent in this same process
    // ending on the simulated desktop); keep waiting until answered or late.
    while (controller.waitingForResponse() && !timedOut && loop.now() < deadline)
        loop.run();
    return !controller.waitingForResponse();
}

bool AgentSwitchCommand::checkCanRun()
{
    auto& controller = m_pane.agentController();
    if (!controller.accessibilityAPIIsRunning()) {
        m_err << "velmora: " << _("accessibility is switched off, so the agent cannot watch any application.") << "\n"
              << controller.accessibilityInstructions() << "\n";
        if (controller.showUniversalAccess())
            m_err << _("The desktop's accessibility settings have been opened.") << "\n";
        return false;
    }
    if (!controller.canRun()) {
        m_err << "velmora: " << _("the desktop toolkit (GTK 3 or later) is missing or too old to run the agent.") << "\n";
        return false;
    }
    return true;
}

} // namespace velmora
