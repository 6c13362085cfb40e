#pragma once

// The built programs run as a user runs them, each in a process of its own
// with settings in a folder of the test's own: what the end-to-end tests of
// the command, the settings window, the update check and the accessibility
// bus's faults share.

#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TemporaryFolder.h"

#include <glib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velmora::linux_desktop::testing {

struct Outcome {
    int exitCode{-1}; // -1: killed, or never ran
    std::string out;
    std::string err;
    double seconds{0};
};

// Runs `argv` (searched on PATH) to its end, killed after `limitSeconds`;
// `environment` sets variables, or removes those given an empty value.
inline Outcome runToEnd(std::vector<std::string> argv, const std::map<std::string, std::string>& environment = {},
                        int limitSeconds = 60)
{
    argv.insert(argv.begin(), {"timeout", "-s", "KILL", std::to_string(limitSeconds)});
    gchar** env = g_get_environ();
    for (const auto& [name, value] : environment)
        env = value.empty() ? g_environ_unsetenv(env, name.c_str()) : g_environ_setenv(env, name.c_str(), value.c_str(), TRUE);
    std::vector<gchar*> args;
    for (auto& argument : argv)
        args.push_back(argument.data());
    args.push_back(nullptr);
    Outcome outcome;
    gchar* out = nullptr;
    gchar* err = nullptr;
    int status = 0;
    const gint64 start = g_get_monotonic_time();
    GErrorPtr error;
    const bool ran = g_spawn_sync(nullptr, args.data(), env, G_SPAWN_SEARCH_PATH, nullptr, nullptr, &out, &err, &status, error.out());
    outcome.seconds = static_cast<double>(g_get_monotonic_time() - start) / G_USEC_PER_SEC;
    g_strfreev(env);
    outcome.out = out ? out : "";
    outcome.err = err ? err : "";
    g_free(out);
    g_free(err);
    // timeout's own 137 is a kill, not the program's answer.
    if (ran && WIFEXITED(status) && WEXITSTATUS(status) != 137)
        outcome.exitCode = WEXITSTATUS(status);
    return outcome;
}

inline std::string contentsOf(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The running agents (the built VelmoraBG) whose settings are in `config`,
// their XDG_CONFIG_HOME: those a test started, however it started them.
inline std::vector<pid_t> agentsWithSettingsIn(const std::filesystem::path& config)
{
    namespace fs = std::filesystem;
    std::vector<pid_t> pids;
    const std::string marker = "XDG_CONFIG_HOME=" + config.string();
    std::error_code error;
    const fs::path agent = fs::canonical(VELMORA_AGENT_PATH, error);
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        std::error_code gone;
        if (name.find_first_not_of("0123456789") != std::string::npos || fs::read_symlink(entry.path() / "exe", gone) != agent)
            continue;
        std::istringstream variables(contentsOf(entry.path() / "environ"));
        for (std::string variable; std::getline(variables, variable, '\0');) {
            if (variable == marker)
                pids.push_back(std::stoi(name));
        }
    }
    return pids;
}

// CPU seconds (user and system) a process has used so far.
inline double cpuSeconds(pid_t pid)
{
    const std::string stat = contentsOf("/proc/" + std::to_string(pid) + "/stat");
    // The name in parentheses may hold spaces; the fields after it do not.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skip;
    for (int field = 3; field < 14; ++field)
        fields >> skip;
    long long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace velmora::linux_desktop::testing
