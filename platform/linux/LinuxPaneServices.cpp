#include "platform/linux/LinuxPaneServices.h"

#include "platform/linux/GCharPtr.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/X11Pointer.h"
#include "platform/Gettext.h"

#include <glib.h>

#include <algorithm>
#include <dlfcn.h>
#include <unistd.h>

namespace velmora::linux_desktop {

namespace {

void startNewSession(gpointer)
{
    setsid();
}

// The child watch owns the record; the launcher's handle only watches it.
struct ChildWatch {
    std::shared_ptr<DelayedCall::Record> record{std::make_shared<DelayedCall::Record>()};
    std::shared_ptr<int> waitStatus{std::make_shared<int>(0)};
};

void onChildEnded(GPid pid, gint waitStatus, gpointer data)
{
    g_spawn_close_pid(pid);
    auto* watch = static_cast<ChildWatch*>(data);
    *watch->waitStatus = waitStatus;
    DelayedCall::run(*watch->record);
}

// Starts `argv` in a session of its own. Output goes nowhere, so a starter
// reading our output through a pipe is not kept waiting by the program
// holding that pipe open. Unwatched, GLib forks twice and reaps the
// intermediate child itself: the program ends up a child of init. Watched,
// it stays our child, reaped by a child watch on the thread's run loop,
// which hands its wait status to `ended`.
std::optional<DelayedCall> spawn(const std::vector<std::string>& argv, bool watched, PaneServices::ExitHandler ended = {})
{
    std::vector<gchar*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<gchar*>(arg.c_str()));
    args.push_back(nullptr);
    const auto flags = static_cast<GSpawnFlags>((watched ? G_SPAWN_DO_NOT_REAP_CHILD : 0) | G_SPAWN_STDIN_FROM_DEV_NULL
        | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    GPid pid = 0;
    GErrorPtr error;
    if (!g_spawn_async(nullptr, args.data(), nullptr, flags, &startNewSession, nullptr, watched ? &pid : nullptr, error.out()))
        return std::nullopt;
    DelayedCall handle;
    if (watched) {
        auto* watch = new ChildWatch;
        if (ended)
            watch->record->callback = [ended = std::move(ended), status = watch->waitStatus] { ended(*status); };
        handle = DelayedCall(watch->record);
        GSource* source = g_child_watch_source_new(pid);
        g_source_set_callback(source, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(&onChildEnded)),
            watch, [](gpointer data) { delete static_cast<ChildWatch*>(data); });
        g_source_set_name(source, "[velmora] launched program");
        g_source_attach(source, g_main_context_get_thread_default());
        g_source_unref(source);
    }
    return handle;
}

std::vector<std::string> currentDesktops()
{
    std::vector<std::string> names;
    const char* value = g_getenv("XDG_CURRENT_DESKTOP");
    if (!value)
        return names;
    gchar** parts = g_strsplit(value, ":", -1);
    for (gchar** part = parts; *part; ++part) {
        if (**part)
            names.push_back(*part);
    }
    g_strfreev(parts);
    return names;
}

std::optional<std::vector<std::string>> resolved(const LinuxPaneServices::SettingsPanel& panel)
{
    GCharPtr program(g_find_program_in_path(panel.argv.front().c_str()));
    if (!program)
        return std::nullopt;
    std::vector<std::string> argv = panel.argv;
    argv.front() = program.str();
    return argv;
}

} // namespace

// static
const std::vector<LinuxPaneServices::SettingsPanel>& LinuxPaneServices::settingsPanels()
{
    static const std::vector<SettingsPanel> panels{
        {{"gnome-control-center", "universal-access"}, {"GNOME", "Unity", "Budgie", "Pantheon"}},
        {{"systemsettings", "kcm_access"}, {"KDE"}},
        {{"systemsettings5", "kcm_access"}, {"KDE"}},
        {{"cinnamon-settings", "accessibility"}, {"X-Cinnamon", "Cinnamon"}},
        {{"mate-at-properties"}, {"MATE"}},
        {{"xfce4-accessibility-settings"}, {"XFCE"}},
    };
    return panels;
}

LinuxPaneServices::LinuxPaneServices(std::vector<std::string> toolkitLibraries) : m_toolkitLibraries(std::move(toolkitLibraries))
{
}

std::optional<DelayedCall> LinuxPaneServices::launchApplicationAtPath(const std::string& path, const std::vector<std::string>& arguments, ExitHandler ended)
{
    // Checked here so that a missing program answers false at once instead
    // of failing later in the child.
    if (path.empty() || !g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR) || access(path.c_str(), X_OK) != 0)
        return std::nullopt;
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawn(argv, true, std::move(ended));
}

// static
std::optional<std::vector<std::string>> LinuxPaneServices::accessibilitySettingsCommand()
{
    const auto desktops = currentDesktops();
    auto belongsHere = [&](const SettingsPanel& panel) {
        return std::any_of(panel.desktops.begin(), panel.desktops.end(),
            [&](const std::string& name) { return std::find(desktops.begin(), desktops.end(), name) != desktops.end(); });
    };
    for (const auto& panel : settingsPanels()) {
        if (belongsHere(panel)) {
            if (auto argv = resolved(panel))
                return argv;
        }
    }
    for (const auto& panel : settingsPanels()) {
        if (auto argv = resolved(panel))
            return argv;
    }
    return std::nullopt;
}

bool LinuxPaneServices::openAccessibilitySettings()
{
    auto argv = accessibilitySettingsCommand();
    return argv && spawn(*argv, false).has_value();
}

std::string LinuxPaneServices::accessibilityInstructions()
{
    // Prose only: the commands for a terminal are in the user guide, and a
    // notice gives one where the desktop has no settings panel.
    return _("Velmora needs the desktop's support for assistive technologies, which is switched off. "
             "Switch it on in the desktop's accessibility settings; applications started before may need a restart.");
}

std::string LinuxPaneServices::snapBackUnavailableReason()
{
    if (!X11Pointer::isWaylandSession() || (m_reading.pointerReadable && m_reading.pointerReadable()))
        return {};
    std::string reason = _("A Wayland desktop does not let programs see where the pointer is, so Velmora cannot tell "
                           "whether you moved it after a snap, and leaves it where it is.");
    if (!m_reading.howToEnable.empty())
        reason += " " + m_reading.howToEnable;
    return reason;
}

std::string LinuxPaneServices::pointerMoveRefusalReason(const std::string& agentPath)
{
    return m_reading.moveRefusal ? m_reading.moveRefusal(agentPath) : std::string();
}

double LinuxPaneServices::toolkitVersionNumber()
{
    if (m_toolkitVersion)
        return *m_toolkitVersion;
    m_toolkitVersion = 0;
    for (const auto& library : m_toolkitLibraries) {
        // Never closed: a toolkit registers types and threads that cannot be
        // unloaded, and the pane's own window may load it again.
        void* handle = dlopen(library.c_str(), RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE);
        if (!handle)
            continue;
        using VersionPart = unsigned (*)();
        auto major = reinterpret_cast<VersionPart>(dlsym(handle, "gtk_get_major_version"));
        auto minor = reinterpret_cast<VersionPart>(dlsym(handle, "gtk_get_minor_version"));
        if (major && minor) {
            m_toolkitVersion = major() * 100.0 + minor();
            break;
        }
    }
    return *m_toolkitVersion;
}

} // namespace velmora::linux_desktop
