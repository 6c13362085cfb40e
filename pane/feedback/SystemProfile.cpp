#include "pane/feedback/SystemProfile.h"

#include "platform/Accessibility.h"
#include "platform/PaneServices.h"
#include "platform/ProgramSettings.h"
#include "shared/preferences/VelmoraPreferences.h"
#include "shared/update/ProgramInfo.h"

#include <curl/curl.h>
#include <glib.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace velmora {

namespace {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// The value after "key:" on the first line of `text` that starts with it.
std::string fieldOfLine(const std::string& text, const std::string& key)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key, 0) != 0)
            continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        size_t start = line.find_first_not_of(" \t", colon + 1);
        return start == std::string::npos ? "" : line.substr(start);
    }
    return "";
}

std::string orUnknown(const std::string& text)
{
    return text.empty() ? "unknown" : text;
}

std::string toolkitVersionText(double number)
{
    if (number <= 0)
        return "none";
    int whole = static_cast<int>(number);
    return std::to_string(whole / 100) + "." + std::to_string(whole % 100);
}

std::string displayServer(const SystemProfile::Snapshot& snapshot)
{
    if (!snapshot.waylandDisplay.empty())
        return snapshot.x11Display.empty() ? "Wayland" : "Wayland, with X11 clients through Xwayland";
    if (!snapshot.x11Display.empty())
        return "X11";
    return "none";
}

} // namespace

// static
SystemProfile::Snapshot SystemProfile::Snapshot::take(ProgramSettings& settings, Screens& screens, Accessibility& accessibility, PaneServices& pane)
{
    Snapshot snapshot;
    snapshot.velmoraVersion = ProgramInfo::pane().objectForInfoDictionaryKey(ProgramInfo::kVersionKey);
    snapshot.settings = settings.persistentDomainForName(VelmoraPreferences::kDomain).value_or(Value::Dictionary{});
    snapshot.screens = screens.screens();
    snapshot.accessibilityEnabled = accessibility.isAPIEnabled();
    snapshot.toolkitVersionNumber = pane.toolkitVersionNumber();
    snapshot.curlVersion = curl_version_info(CURLVERSION_NOW)->version;
    snapshot.currentDesktop = environmentValue("XDG_CURRENT_DESKTOP");
    snapshot.sessionType = environmentValue("XDG_SESSION_TYPE");
    snapshot.waylandDisplay = environmentValue("WAYLAND_DISPLAY");
    snapshot.x11Display = environmentValue("DISPLAY");
    return snapshot;
}

// static
std::string SystemProfile::systemOsInfo(const char* key)
{
    // GLib reads /etc/os-release, else /usr/lib/os-release, and undoes the
    // format's quoting.
    std::unique_ptr<gchar, decltype(&g_free)> value(g_get_os_info(key), &g_free);
    return value ? std::string(value.get()) : std::string();
}

// static
std::string SystemProfile::distributionName(const OsInfo& osInfo)
{
    if (std::string pretty = osInfo(G_OS_INFO_KEY_PRETTY_NAME); !pretty.empty())
        return pretty;
    std::string name = osInfo(G_OS_INFO_KEY_NAME);
    const std::string version = osInfo(G_OS_INFO_KEY_VERSION);
    if (!version.empty())
        name += name.empty() ? version : " " + version;
    return name;
}

// static
std::optional<std::string> SystemProfile::collect(const Snapshot& snapshot)
{
    return collect(snapshot, Sources{});
}

// static
std::optional<std::string> SystemProfile::collect(const Snapshot& snapshot, const Sources& sources)
{
    std::ostringstream out;
    out << "Velmora\n";
    out << "  Version: " << orUnknown(snapshot.velmoraVersion) << "\n";
    out << "  Settings:\n";
    for (const auto& [key, value] : snapshot.settings)
        out << "    " << key << ": " << value.description() << "\n";

    out << "System\n";
    out << "  Distribution: " << orUnknown(distributionName(sources.osInfo)) << "\n";
    utsname kernel{};
    if (::uname(&kernel) == 0)
        out << "  Kernel: " << kernel.sysname << " " << kernel.release << " " << kernel.machine << "\n";

    out << "Hardware\n";
    out << "  Processor: " << orUnknown(fieldOfLine(readFile(sources.procDirectory + "/cpuinfo"), "model name"))
        << ", " << std::thread::hardware_concurrency() << " threads\n";
    out << "  Memory: " << orUnknown(fieldOfLine(readFile(sources.procDirectory + "/meminfo"), "MemTotal")) << "\n";

    out << "Desktop\n";
    out << "  Desktop: " << orUnknown(snapshot.currentDesktop) << "\n";
    out << "  Session type: " << orUnknown(snapshot.sessionType) << "\n";
    out << "  Display server: " << displayServer(snapshot) << "\n";
    out << "  Screens: " << snapshot.screens.size() << "\n";
    for (const Screen& screen : snapshot.screens) {
        out << "    " << screen.frame.size.width << " x " << screen.frame.size.height << " at (" << screen.frame.origin.x
            << ", " << screen.frame.origin.y << "), scale " << screen.scaleFactor << "\n";
    }
    out << "  Accessibility bus: " << (snapshot.accessibilityEnabled ? "enabled" : "disabled") << "\n";

    out << "Toolkits\n";
    out << "  GTK: " << toolkitVersionText(snapshot.toolkitVersionNumber) << "\n";
    out << "  GLib: " << glib_major_version << "." << glib_minor_version << "." << glib_micro_version << "\n";
    out << "  libcurl: " << orUnknown(snapshot.curlVersion) << "\n";

    std::string text = out.str();
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr))
        return std::nullopt;
    return text;
}

} // namespace velmora
