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

// Every installed entry, with its ID, until `visit` answers true.
void forEachEntry(const std::function<bool(GAppInfo* info, const std::string& id)>& visit)
{
    GList* all = g_app_info_get_all();
    for (GList* item = all; item; item = item->next) {
        GAppInfo* info = G_APP_INFO(item->data);
        const char* id = g_app_info_get_id(info);
        if (G_IS_DESKTOP_APP_INFO(info) && id && visit(info, withoutSuffix(id)))
            break;
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

} // namespace

std::optional<std::string> GioApplicationFinder::absolutePathForAppBundleWithIdentifier(const std::string& identifier)
{
    if (identifier.empty() || identifier.find('/') != std::string::npos)
        return std::nullopt;
    auto info = GObjectRef<GDesktopAppInfo>::adopt(g_desktop_app_info_new((withoutSuffix(identifier) + std::string(kDesktopSuffix)).c_str()));
    if (!info)
        return std::nullopt;
    return filenameOf(G_APP_INFO(info.get()));
}

std::optional<std::string> GioApplicationFinder::fullPathForApplication(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    GCharPtr folded(g_utf8_casefold(name.c_str(), -1));
    auto sameName = [&](const char* candidate, bool caseless) {
        if (!candidate)
            return false;
        if (!caseless)
            return name == candidate;
        GCharPtr other(g_utf8_casefold(candidate, -1));
        return folded.str() == other.str();
    };
    std::optional<std::string> found;
    for (bool caseless : {false, true}) {
        forEachEntry([&](GAppInfo* info, const std::string& id) {
            const char* executable = g_app_info_get_executable(info);
            const std::string program = executable ? std::filesystem::path(executable).filename().string() : "";
            if (sameName(g_app_info_get_name(info), caseless) || sameName(g_app_info_get_display_name(info), caseless)
                || sameName(id.c_str(), caseless) || (!program.empty() && sameName(program.c_str(), caseless)))
                found = filenameOf(info);
            return found.has_value();
        });
        if (found)
            break;
    }
    // A program without a desktop entry, by the name its processes carry.
    if (!found && name.find('/') == std::string::npos) {
        if (GCharPtr program{g_find_program_in_path(name.c_str())}; program && isProgram(program.str()))
            found = program.str();
    }
    return found;
}

std::optional<std::string> GioApplicationFinder::pathForCreatorCode(uint32_t)
{
    return std::nullopt;
}

std::string GioApplicationFinder::displayNameAtPath(const std::string& path)
{
    if (auto info = entryAtPath(path)) {
        if (const char* name = g_app_info_get_display_name(G_APP_INFO(info.get())); name && *name)
            return name;
    }
    // "python3.11" is a whole program name, not a name and an extension.
    if (isProgram(path))
        return std::filesystem::path(path).filename().string();
    return std::filesystem::path(path).stem().string();
}

std::string GioApplicationFinder::iconForFile(const std::string& path)
{
    GIcon* icon = nullptr; // owned by `info` or `fileInfo`
    auto info = entryAtPath(path);
    GObjectRef<GFileInfo> fileInfo;
    if (info) {
        icon = g_app_info_get_icon(G_APP_INFO(info.get()));
    } else if (!path.empty()) {
        auto file = GObjectRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
        fileInfo = GObjectRef<GFileInfo>::adopt(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_ICON, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
        if (fileInfo)
            icon = g_file_info_get_icon(fileInfo.get());
    }
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
bool GioApplicationFinder::isBundleAtPath(const std::string& path)
{
    return !bundleIdentifierAtPath(path).empty();
}

std::string GioApplicationFinder::bundleIdentifierAtPath(const std::string& path)
{
    std::string id = identifierAtPath(path);
    if (id.empty() || absolutePathForAppBundleWithIdentifier(id) || fullPathForApplication(id))
        return id;
    return "";
}

std::optional<uint32_t> GioApplicationFinder::fileTypeAtPath(const std::string&)
{
    return std::nullopt;
}

} // namespace velmora::linux_desktop
