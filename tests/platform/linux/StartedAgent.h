#pragma once

// The built agent started by a test as the session would start it, with the
// test's arguments and variables; what it writes on its standard output and
// error is kept in files, readable while it runs. Killed (and reaped) with
// the object.

#include "platform/linux/DesktopSession.h"
#include "platform/linux/InstalledPrograms.h"

#include <fcntl.h>

#include <csignal>
#include <map>
#include <string>
#include <vector>

namespace velmora::linux_desktop::testing {

class StartedAgent {
public:
    explicit StartedAgent(std::vector<std::string> arguments = {}, const std::map<std::string, std::string>& environment = {})
    {
        arguments.insert(arguments.begin(), VELMORA_AGENT_PATH);
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        gchar** env = g_get_environ();
        for (const auto& [name, value] : environment)
            env = g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
        const std::string out = (m_folder / "stdout").string(), err = (m_folder / "stderr").string();
        m_pid = fork();
        if (m_pid == 0) {
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
            execve(argv[0], argv.data(), env);
            _exit(127);
        }
        g_strfreev(env);
    }
    ~StartedAgent()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    StartedAgent(const StartedAgent&) = delete;
    StartedAgent& operator=(const StartedAgent&) = delete;

    pid_t pid() const { return m_pid; }
    bool isRunning() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }
    // Waits for it to end; its exit code, or -1 (it ran on, and was killed).
    int waitForExit(double seconds)
    {
        int status = 0;
        const bool ended = pumpUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, seconds);
        if (!ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
        m_pid = 0;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // What it has written so far on its standard error, and on its standard output.
    std::string said() const { return contentsOf(m_folder / "stderr"); }
    std::string printed() const { return contentsOf(m_folder / "stdout"); }

private:
    TemporaryFolder m_folder;
    pid_t m_pid{0};
};

} // namespace velmora::linux_desktop::testing
