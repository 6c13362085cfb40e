#include "platform/kde/KWinAuthorisation.h"

#include "platform/Gettext.h"

#include <glib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

namespace velmora::kde {

namespace fs = std::filesystem;

namespace {

struct KeyFileUnref {
    void operator()(GKeyFile* file) const { g_key_file_unref(file); }
};
struct StrvFree {
    void operator()(gchar** strings) const { g_strfreev(strings); }
};

std::string canonical(const std::string& path)
{
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? std::string() : resolved.string();
}

// What an entry says of `executable`: nothing when it does not start it.
enum class Entry { Unrelated, Grants, Withholds };

Entry readEntry(const fs::path& entry, const std::string& executable)
{
    std::unique_ptr<GKeyFile, KeyFileUnref> file(g_key_file_new());
    if (!g_key_file_load_from_file(file.get(), entry.c_str(), G_KEY_FILE_NONE, nullptr))
        return Entry::Unrelated;
    if (g_key_file_get_boolean(file.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr))
        return Entry::Unrelated;
    // KWin takes the whole Exec value for the program's path, links resolved:
    // an entry that passes arguments never matches.
    gchar* exec = g_key_file_get_string(file.get(), G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
    const bool starts = exec && canonical(exec) == executable;
    g_free(exec);
    if (!starts)
        return Entry::Unrelated;
    std::unique_ptr<gchar*, StrvFree> interfaces(
        g_key_file_get_string_list(file.get(), G_KEY_FILE_DESKTOP_GROUP, KWinAuthorisation::kInterfacesKey, nullptr, nullptr));
    for (gchar** name = interfaces.get(); name && *name; ++name) {
        if (std::string(*name) == KWinAuthorisation::kFakeInput)
            return Entry::Grants;
    }
    return Entry::Withholds;
}

// Entries by desktop file id, the user's before the system's, as the desktop
// reads them: an id already seen in an earlier folder is shadowed.
template<typename Visit>
void forEachEntry(const std::vector<std::string>& directories, Visit visit)
{
    std::set<std::string> seen;
    for (const auto& directory : directories) {
        const fs::path applications = fs::path(directory) / "applications";
        std::error_code error;
        fs::recursive_directory_iterator entries(applications, fs::directory_options::skip_permission_denied, error);
        for (; !error && entries != fs::recursive_directory_iterator(); entries.increment(error)) {
            if (entries->path().extension() != ".desktop")
                continue;
            std::string id = entries->path().lexically_relative(applications).string();
            std::replace(id.begin(), id.end(), '/', '-');
            if (seen.insert(id).second)
                visit(entries->path());
        }
    }
}

} // namespace

std::vector<std::string> KWinAuthorisation::dataDirectories()
{
    std::vector<std::string> directories{g_get_user_data_dir()};
    for (const gchar* const* dir = g_get_system_data_dirs(); dir && *dir; ++dir)
        directories.emplace_back(*dir);
    return directories;
}

std::string KWinAuthorisation::refusalReason(const std::string& executable, const std::vector<std::string>& directories)
{
    const std::string program = canonical(executable);
    bool granted = false;
    std::string withholding;
    if (!program.empty()) {
        forEachEntry(directories, [&](const fs::path& entry) {
            switch (readEntry(entry, program)) {
            case Entry::Grants:
                granted = true;
                break;
            case Entry::Withholds:
                withholding = entry.string();
                break;
            case Entry::Unrelated:
                break;
            }
        });
    }
    // KWin reads one of the entries that start the program, whichever it
    // finds first: one that does not list the interface may be that one.
    if (granted && withholding.empty())
        return {};
    const std::string grant = std::string(kInterfacesKey) + "=" + kFakeInput;
    if (!withholding.empty())
        // TRANSLATORS: %1$s is a desktop entry's path, %2$s the agent's, %3$s a line such as "X-KDE-Wayland-Interfaces=…".
        return i18n::format(_("KWin may not let Velmora move the pointer: the desktop entry %1$s starts %2$s without %3$s, "
                              "and KWin may read that entry instead of one that lists it."),
            withholding.c_str(), executable.c_str(), grant.c_str());
    // TRANSLATORS: %1$s is the agent's path, %2$s a line such as "X-KDE-Wayland-Interfaces=…".
    return i18n::format(_("KWin will not let Velmora move the pointer: no installed desktop entry lets %1$s use KWin's "
                          "fake-input interface (%2$s). The package installs one for its agent; an agent run from "
                          "elsewhere needs its own entry."),
        executable.c_str(), grant.c_str());
}

bool KWinAuthorisation::grantsFakeInput(const std::string& executable, const std::vector<std::string>& directories)
{
    return refusalReason(executable, directories).empty();
}

} // namespace velmora::kde
