#include "platform/linux/GioApplicationFinder.h"

#include "platform/linux/GCharPtr.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace velmora::linux_desktop {

namespace {

constexpr std::string_view kDesktopSuffix = ".desktop";

std::string withoutSuffix(std::string id)
{
    if (id.size() > kDesktopSuffix.size() && id.ends_with(kDesktopSuffix))
        id.resize(id.size() - kDesktopSuffix.size());
    return id;
}

GObjectRef<GDesktopAppInfo> entryAtPath(const std::string& path)
{
    if (!std::string_view(path).ends_with(kDesktopSuffix))
        return {};
    return GObjectRef<GDesktopAppInfo>::adopt(g_desktop_app_info_new_from_filename(path.c_str()));
}

// The folders whose entries have desktop-file IDs, most important first.
std::vector<std::filesystem::path> applicationFolders()
{
    std::vector<std::filesystem::path> folders{std::filesystem::path(g_get_user_data_dir()) / "applications"};
    for (const gchar* const* dir = g_get_system_data_dirs(); *dir; ++dir)
        folders.push_back(std::filesystem::path(*dir) / "applications");
    return folders;
}

// Every installed entry, with its ID.
void forEachEntry(const std::function<void(GAppInfo* info, const std::string& id)>& visit)
{
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        GAppInfo* info = G_APP_INFO(item->data);
        const char* id = g_app_info_get_id(info);
        if (G_IS_DESKTOP_APP_INFO(info) && id)
            visit(info, withoutSuffix(id));
    }
    g_list_free_full(all, g_object_unref);
}

std::optional<std::string> filenameOf(GAppInfo* info)
{
    const char* file = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(info));
    if (!file)
        return std::nullopt;
    return std::string(file);
}

// A program: an executable regular file, links followed.
bool isProgram(const std::string& path)
{
    return !path.empty() && g_file_test(path.c_str(), G_FILE_TEST_IS_EXECUTABLE)
        && g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR);
}

std::string casefolded(const std::string& text)
{
    GCharPtr folded(g_utf8_casefold(text.c_str(), -1));
    return folded.str();
}

std::string displayNameOf(GAppInfo* info)
{
    const char* name = g_app_info_get_display_name(info);
    return name ? name : "";
}

// A themed icon's first name, or an icon file's path.
std::string iconName(GIcon* icon)
{
    if (!icon)
        return "";
    if (G_IS_THEMED_ICON(icon)) {
        const gchar* const* names = g_themed_icon_get_names(G_THEMED_ICON(icon));
        return names && names[0] ? names[0] : "";
    }
    if (G_IS_FILE_ICON(icon)) {
        GCharPtr file(g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon))));
        return file.str();
    }
    GCharPtr text(g_icon_to_string(icon));
    return text.str();
}

// The folders g_find_program_in_path() searches, in its order.
std::vector<std::string> programFolders(const char* path)
{
    std::vector<std::string> folders;
    std::string_view rest = path ? path : "/bin:/usr/bin:.";
    for (;;) {
        const size_t colon = rest.find(':');
        std::string_view folder = rest.substr(0, colon);
        folders.emplace_back(folder.empty() ? "." : folder);
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

} // namespace

// What the installed entries answer to, from one listing.
struct GioApplicationFinder::Index {
    // Every name of an entry (its Name, display name, ID, program's file
    // name), exact and case-folded, with the entry's file: the first entry
    // in GIO's order wins a name, as a search in that order would.
    std::unordered_map<std::string, std::string> exact;
    std::unordered_map<std::string, std::string> caseless;
    // An entry's file by its ID (without ".desktop").
    std::unordered_map<std::string, std::string> fileById;
    struct Shown {
        std::string name;
        std::string icon;
    };
    std::unordered_map<std::string, Shown> shownByFile;
};

// The file names in the folders of PATH, so that a name no program has is
// answered without a search of every folder.
struct GioApplicationFinder::Programs {
    std::string path; // the PATH they were listed for
    std::unordered_set<std::string> names;
    bool complete{true}; // false when a folder could not be listed: search it all the same
    std::vector<GObjectRef<GFileMonitor>> monitors;
};

GioApplicationFinder::GioApplicationFinder()
{
    // Emitted in this thread's main context once GIO sees the installed
    // entries change; the next lookup lists them again.
    GAppInfoMonitor* monitor = g_app_info_monitor_get();
    m_monitor = monitor;
    m_monitorHandler = g_signal_connect_swapped(monitor, "changed", G_CALLBACK(+[](GioApplicationFinder* finder) { finder->m_index.reset(); }), this);
}

GioApplicationFinder::~GioApplicationFinder()
{
    dropPrograms();
    auto* monitor = static_cast<GAppInfoMonitor*>(m_monitor);
    g_signal_handler_disconnect(monitor, m_monitorHandler);
    g_object_unref(monitor);
}

const GioApplicationFinder::Index& GioApplicationFinder::index()
{
    if (m_index)
        return *m_index;
    auto built = std::make_unique<Index>();
    ++m_listingCount;
    forEachEntry([&](GAppInfo* info, const std::string& id) {
        auto file = filenameOf(info);
        if (!file)
            return;
        const char* executable = g_app_info_get_executable(info);
        const std::string program = executable ? std::filesystem::path(executable).filename().string() : "";
        for (const char* name : {g_app_info_get_name(info), g_app_info_get_display_name(info), id.c_str(), program.c_str()}) {
            if (!name || !*name)
                continue;
            built->exact.emplace(name, *file);
            built->caseless.emplace(casefolded(name), *file);
        }
        built->fileById.emplace(id, *file);
        built->shownByFile.emplace(*file, Index::Shown{displayNameOf(info), iconName(g_app_info_get_icon(info))});
    });
    m_index = std::move(built);
    return *m_index;
}

const GioApplicationFinder::Programs& GioApplicationFinder::programs()
{
    const char* path = g_getenv("PATH");
    if (m_programs && m_programs->path == (path ? path : ""))
        return *m_programs;
    dropPrograms();
    auto listed = std::make_unique<Programs>();
    listed->path = path ? path : "";
    for (const auto& folder : programFolders(path)) {
        std::error_code error;
        for (std::filesystem::directory_iterator item(folder, error), end; !error && item != end; item.increment(error))
            listed->names.insert(item->path().filename().string());
        // A folder that is missing holds nothing; one that cannot be read
        // may still hold programs.
        if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory)
            listed->complete = false;
        // A program added or removed there is seen at the next lookup
        // (while the main loop runs).
        auto file = GObjectRef<GFile>::adopt(g_file_new_for_path(folder.c_str()));
        auto monitor = GObjectRef<GFileMonitor>::adopt(g_file_monitor_directory(file.get(), G_FILE_MONITOR_NONE, nullptr, nullptr));
        if (monitor) {
            g_signal_connect_swapped(monitor.get(), "changed", G_CALLBACK(+[](GioApplicationFinder* finder) { finder->m_programsChanged = true; }), this);
            listed->monitors.push_back(std::move(monitor));
        }
    }
    m_programs = std::move(listed);
    m_programsChanged = false;
    return *m_programs;
}

void GioApplicationFinder::dropPrograms()
{
    if (!m_programs)
        return;
    for (auto& monitor : m_programs->monitors) {
        g_signal_handlers_disconnect_by_data(monitor.get(), this);
        g_file_monitor_cancel(monitor.get());
    }
    m_programs.reset();
}

std::optional<std::string> GioApplicationFinder::pathForApplicationWithIdentifier(const std::string& identifier)
{
    if (identifier.empty() || identifier.find('/') != std::string::npos)
        return std::nullopt;
    const std::string id = withoutSuffix(identifier);
    if (auto it = index().fileById.find(id); it != index().fileById.end())
        return it->second;
    // Not listed: perhaps installed since (GIO's own lookup is cheap).
    auto info = GObjectRef<GDesktopAppInfo>::adopt(g_desktop_app_info_new((id + std::string(kDesktopSuffix)).c_str()));
    if (!info)
        return std::nullopt;
    return filenameOf(G_APP_INFO(info.get()));
}

std::optional<std::string> GioApplicationFinder::fullPathForApplication(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    const Index& entries = index();
    if (auto it = entries.exact.find(name); it != entries.exact.end())
        return it->second;
    if (auto it = entries.caseless.find(casefolded(name)); it != entries.caseless.end())
        return it->second;
    // A program without a desktop entry, by the name its processes carry;
    // searched for only where a file of that name is.
    if (name.find('/') == std::string::npos) {
        if (m_programsChanged)
            dropPrograms();
        if (const Programs& onPath = programs(); !onPath.complete || onPath.names.contains(name)) {
            if (GCharPtr program{g_find_program_in_path(name.c_str())}; program && isProgram(program.str()))
                return program.str();
        }
    }
    return std::nullopt;
}

std::string GioApplicationFinder::displayNameAtPath(const std::string& path)
{
    if (auto it = index().shownByFile.find(path); it != index().shownByFile.end() && !it->second.name.empty())
        return it->second.name;
    if (auto info = entryAtPath(path)) {
        if (std::string name = displayNameOf(G_APP_INFO(info.get())); !name.empty())
            return name;
    }
    // "python3.11" is a whole program name, not a name and an extension.
    if (isProgram(path))
        return std::filesystem::path(path).filename().string();
    return std::filesystem::path(path).stem().string();
}

std::string GioApplicationFinder::iconForFile(const std::string& path)
{
    if (auto it = index().shownByFile.find(path); it != index().shownByFile.end())
        return it->second.icon;
    if (auto info = entryAtPath(path))
        return iconName(g_app_info_get_icon(G_APP_INFO(info.get())));
    if (path.empty())
        return "";
    auto file = GObjectRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
    auto fileInfo = GObjectRef<GFileInfo>::adopt(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_ICON, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    return fileInfo ? iconName(g_file_info_get_icon(fileInfo.get())) : "";
}

// An entry's ID is its path below an applications folder with "/" turned
// into "-"; an entry elsewhere is known by its file name, a program by its
// file name. "" for anything else.
std::string GioApplicationFinder::identifierAtPath(const std::string& path)
{
    if (!entryAtPath(path))
        return isProgram(path) ? std::filesystem::path(path).filename().string() : "";
    std::error_code error;
    const std::filesystem::path entry = std::filesystem::weakly_canonical(path, error);
    for (const auto& folder : applicationFolders()) {
        const std::filesystem::path base = std::filesystem::weakly_canonical(folder, error);
        auto relative = entry.lexically_relative(base);
        if (relative.empty() || *relative.begin() == "..")
            continue;
        std::string id = relative.string();
        std::replace(id.begin(), id.end(), '/', '-');
        return withoutSuffix(id);
    }
    return withoutSuffix(entry.filename().string());
}

// Only what the ignored list can show again, and so remove again: an entry
// or program whose identifier leads back to an installed application.
bool GioApplicationFinder::isApplicationAtPath(const std::string& path)
{
    return !applicationIdentifierAtPath(path).empty();
}

std::string GioApplicationFinder::applicationIdentifierAtPath(const std::string& path)
{
    std::string id = identifierAtPath(path);
    if (id.empty() || pathForApplicationWithIdentifier(id) || fullPathForApplication(id))
        return id;
    return "";
}

} // namespace velmora::linux_desktop
