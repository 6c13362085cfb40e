#include "platform/linux/LinuxWorkspace.h"

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/GCharPtr.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/LinuxProcessManager.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/X11DisplayPower.h"

#include <gio/gio.h>

#include <filesystem>

namespace velmora::linux_desktop {

namespace {

struct StrvDeleter {
    void operator()(gchar** strv) const { g_strfreev(strv); }
};

std::string programNameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

} // namespace

LinuxWorkspace::LinuxWorkspace(AtspiAccessibility& accessibility, LinuxProcessManager& processes, X11DisplayPower* power,
    RunLoop& runLoop)
    : m_accessibility(accessibility)
    , m_processes(processes)
    , m_power(power)
{
    m_accessibility.setApplicationHandler([this](pid_t pid, bool launched) { onApplication(pid, launched); });
    if (m_power) {
        m_asleep = m_power->displaysAsleep();
        m_powerTimer = runLoop.scheduleTimer(kDpmsPollMs / 1000.0, TimerRepeats::Yes, [this] { pollDisplayPower(); });
    }
}

LinuxWorkspace::~LinuxWorkspace()
{
    m_accessibility.setApplicationHandler({});
}

std::optional<std::string> LinuxWorkspace::desktopIdForExecutable(const std::string& path)
{
    if (!m_desktopIdsLoaded) {
        m_desktopIdsLoaded = true;
        GList* all = g_app_info_get_all();
        for (GList* item = all; item; item = item->next) {
            GAppInfo* info = G_APP_INFO(item->data);
            const char* id = g_app_info_get_id(info);
            const char* executable = g_app_info_get_executable(info);
            if (id && executable) {
                std::string key = programNameOf(executable);
                std::string value = id;
                if (value.size() > 8 && value.ends_with(".desktop"))
                    value.resize(value.size() - 8);
                m_desktopIds.emplace(key, value);
            }
        }
        g_list_free_full(all, g_object_unref);
    }
    auto it = m_desktopIds.find(programNameOf(path));
    if (it == m_desktopIds.end())
        return std::nullopt;
    return it->second;
}

std::optional<ApplicationInfo> LinuxWorkspace::describe(pid_t pid)
{
    auto record = m_processes.record(pid);
    if (!record)
        return std::nullopt;
    ApplicationInfo info;
    info.pid = pid;
    info.name = record->name;
    info.path = record->path;
    info.bundleIdentifier = desktopIdForExecutable(record->path.empty() ? record->name : record->path);
    return info;
}

std::vector<ApplicationInfo> LinuxWorkspace::launchedApplications()
{
    std::vector<ApplicationInfo> result;
    for (pid_t pid : m_accessibility.applicationPids()) {
        if (auto info = describe(pid)) {
            m_known[pid] = *info;
            result.push_back(std::move(*info));
        }
    }
    return result;
}

std::optional<ApplicationInfo> LinuxWorkspace::activeApplication()
{
    pid_t pid = m_accessibility.activePid();
    if (pid <= 0)
        return std::nullopt;
    return describe(pid);
}

void LinuxWorkspace::onApplication(pid_t pid, bool launched)
{
    if (launched) {
        auto info = describe(pid);
        if (!info)
            return;
        m_known[pid] = *info;
        m_center.post(kApplicationLaunchedNotification, this, info->record());
        return;
    }
    auto it = m_known.find(pid);
    ApplicationInfo info;
    if (it != m_known.end()) {
        info = it->second;
        m_known.erase(it);
    } else {
        info.pid = pid;
    }
    m_center.post(kApplicationTerminatedNotification, this, info.record());
}

void LinuxWorkspace::pollDisplayPower()
{
    if (!m_power)
        return;
    const bool asleep = m_power->displaysAsleep();
    if (asleep == m_asleep)
        return;
    m_asleep = asleep;
    m_center.post(asleep ? kScreensDidSleepNotification : kScreensDidWakeNotification, this);
}

bool LinuxWorkspace::openFile(const std::string& path)
{
    GErrorPtr error;
    GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, error.out()));
    return uri && openURL(uri.str());
}

bool LinuxWorkspace::openURL(const std::string& url)
{
    GErrorPtr error;
    return g_app_info_launch_default_for_uri(url.c_str(), nullptr, error.out());
}

} // namespace velmora::linux_desktop
