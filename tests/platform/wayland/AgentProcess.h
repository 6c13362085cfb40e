#pragma once

// The agent as installed, run on the private Wayland desktop with its log
// (stderr) in a file; stopped with SIGTERM (SIGKILL after 3 s) at the end.

#include "tests/platform/linux/InstalledPrograms.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velmora::wayland::testing {

inline std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class AgentProcess {
public:
    explicit AgentProcess(const std::filesystem::path& log) : m_log(log)
    {
        m_pid = fork();
        if (m_pid == 0) {
            std::FILE* out = std::freopen(log.c_str(), "w", stderr);
            if (!out)
                _exit(127);
            execl(VELMORA_AGENT_PATH, VELMORA_AGENT_PATH, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;
    ~AgentProcess()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 300 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            usleep(10000);
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }

    // Not exited, nor a zombie waiting to be reaped.
    bool running() const
    {
        int status = 0;
        return m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == 0;
    }

    // User and system time the process has used so far.
    std::chrono::milliseconds cpuTime() const
    {
        return std::chrono::milliseconds(static_cast<long long>(linux_desktop::testing::cpuSeconds(m_pid) * 1000));
    }

    std::string log() const { return linux_desktop::testing::contentsOf(m_log); }

private:
    std::filesystem::path m_log;
    pid_t m_pid{-1};
};

} // namespace velmora::wayland::testing
