#include "platform/linux/LinuxProcessManager.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::linux_desktop {

namespace {

// A process may be reaped between the opening of one of its files and the
// read (which then fails with ESRCH): that reads as empty. A stream would
// throw there instead, and take the agent down with the process.
std::string readSmallFile(const std::string& path)
{
    gchar* contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr))
        return {};
    std::string text(contents, length);
    g_free(contents);
    return text;
}

std::string lastComponent(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

LinuxProcessManager::LinuxProcessManager(std::string procRoot) : m_procRoot(std::move(procRoot)) { }

bool LinuxProcessManager::isRunning(pid_t pid)
{
    if (pid <= 0 || !record(pid))
        return false;
    // The state follows the command name, which may hold spaces and parentheses.
    const std::string stat = readSmallFile(m_procRoot + "/" + std::to_string(pid) + "/stat");
    const size_t nameEnd = stat.rfind(") ");
    return nameEnd == std::string::npos || nameEnd + 2 >= stat.size() || (stat[nameEnd + 2] != 'Z' && stat[nameEnd + 2] != 'X');
}

std::optional<ProcessRecord> LinuxProcessManager::record(pid_t pid) const
{
    const std::string dir = m_procRoot + "/" + std::to_string(pid);
    struct stat info { };
    if (stat(dir.c_str(), &info) != 0 || info.st_uid != getuid())
        return std::nullopt;

    ProcessRecord record;
    record.pid = pid;
    std::string cmdline = readSmallFile(dir + "/cmdline");
    std::string first = cmdline.substr(0, cmdline.find('\0'));
    if (!first.empty()) {
        record.name = lastComponent(first);
    } else {
        std::string comm = readSmallFile(dir + "/comm");
        if (comm.empty())
            return std::nullopt; // gone while we read it
        if (comm.back() == '\n')
            comm.pop_back();
        record.name = comm;
    }
    std::error_code error;
    auto exe = std::filesystem::read_symlink(dir + "/exe", error);
    if (!error)
        record.path = exe.string();
    return record;
}

std::vector<ProcessRecord> LinuxProcessManager::processes()
{
    std::vector<pid_t> pids;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(m_procRoot, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
            pids.push_back(static_cast<pid_t>(std::stol(name)));
    }
    std::sort(pids.begin(), pids.end());
    std::vector<ProcessRecord> records;
    for (pid_t pid : pids) {
        if (auto r = record(pid))
            records.push_back(std::move(*r));
    }
    return records;
}

bool LinuxProcessManager::sendQuit(pid_t pid)
{
    return pid > 0 && kill(pid, SIGTERM) == 0;
}

} // namespace velmora::linux_desktop
