#include "platform/XdgBaseDirectories.h"

#include <glib.h>

namespace velmora {

namespace {

// GLib's own defaults end in "/" ("/usr/share/"); the folders are joined
// with names by appending "/name".
std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string absoluteOr(const char* path, const char* underHome)
{
    if (path && path[0] == '/')
        return withoutTrailingSlash(path);
    return withoutTrailingSlash(g_get_home_dir()) + "/" + underHome;
}

} // namespace

// static
std::string XdgBaseDirectories::configHome()
{
    return absoluteOr(g_get_user_config_dir(), ".config");
}

// static
std::string XdgBaseDirectories::dataHome()
{
    return absoluteOr(g_get_user_data_dir(), ".local/share");
}

// static
std::vector<std::string> XdgBaseDirectories::dataDirectories()
{
    std::vector<std::string> directories;
    for (const gchar* const* directory = g_get_system_data_dirs(); *directory; ++directory) {
        if ((*directory)[0] == '/')
            directories.push_back(withoutTrailingSlash(*directory));
    }
    return directories;
}

} // namespace velmora
