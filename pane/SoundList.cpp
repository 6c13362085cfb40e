#include "pane/SoundList.h"

#include "platform/Gettext.h"

#include "shared/update/ProgramInfo.h"

#include <algorithm>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

// static
const std::vector<std::string>& SoundList::availableSoundsforPW()
{
    static SoundList list{SoundLibrary(ProgramInfo::resourceDirectory())};
    return list.names();
}

// static
const std::vector<SoundList::Group>& SoundList::availableSoundGroups()
{
    static const std::vector<Group> groups = SoundList{SoundLibrary(ProgramInfo::resourceDirectory())}.groups();
    return groups;
}

std::vector<SoundList::Group> SoundList::groups() const
{
    const auto& directories = m_library.searchDirectories();
    std::vector<Group> groups;
    if (directories.empty())
        return groups;
    // The library searches the program's own folder first.
    std::vector<std::string> own = soundNamesInDirectories({directories.front()}, SoundLibrary::soundFileTypes());
    std::vector<std::string> theme = soundNamesInDirectories({directories.begin() + 1, directories.end()}, SoundLibrary::soundFileTypes());
    theme.erase(std::unique(theme.begin(), theme.end()), theme.end());
    std::erase_if(theme, [&](const std::string& name) { return std::binary_search(own.begin(), own.end(), name); });
    if (!own.empty())
        groups.push_back({_("Velmora's sounds"), std::move(own)});
    if (!theme.empty())
        groups.push_back({_("Desktop sound theme"), std::move(theme)});
    return groups;
}

// static
std::string SoundList::readableName(const std::string& soundName)
{
    std::string readable = soundName;
    std::replace_if(readable.begin(), readable.end(), [](char c) { return c == '-' || c == '_'; }, ' ');
    if (!readable.empty() && readable.front() >= 'a' && readable.front() <= 'z')
        readable.front() = static_cast<char>(readable.front() - 'a' + 'A');
    return readable;
}

const std::vector<std::string>& SoundList::names()
{
    if (!m_names)
        m_names = soundNamesInDirectories(m_library.searchDirectories(), SoundLibrary::soundFileTypes());
    return *m_names;
}

// static
std::vector<std::string> SoundList::soundNamesInDirectories(const std::vector<fs::path>& directories,
    const std::vector<std::string>& types)
{
    std::vector<std::string> names;
    for (const fs::path& directory : directories) {
        std::error_code error;
        if (!fs::is_directory(directory, error))
            continue;
        for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
            const fs::path name = it->path().filename();
            // ".oga" alone is a hidden file without an extension.
            const std::string extension = name.extension().string();
            if (extension.size() < 2)
                continue;
            if (std::find(types.begin(), types.end(), extension.substr(1)) != types.end())
                names.push_back(name.stem().string());
        }
    }
    // std::string compares as unsigned bytes: plain, case-sensitive order.
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace velmora
