#include "pane/SoundList.h"

#include "shared/update/BundleInfo.h"

#include <algorithm>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

// static
const std::vector<std::string>& SoundList::availableSoundsforPW()
{
    static SoundList list{SoundLibrary(BundleInfo::resourceDirectory())};
    return list.names();
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
