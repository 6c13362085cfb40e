#include "platform/SoundLibrary.h"

#include "platform/XdgBaseDirectories.h"

#include <sstream>
#include <system_error>

namespace velmora {

namespace {

namespace fs = std::filesystem;

// The XDG defaults for unset or empty variables.
constexpr const char* kDefaultDataDirs = "/usr/local/share:/usr/share";
// The freedesktop theme is where every sound theme falls back to, and
// "stereo" is the output profile it ships.
constexpr const char* kFallbackThemeSubdirectory = "freedesktop/stereo";

// Relative entries are invalid in XDG variables and are ignored.
void appendDataDirectory(std::vector<fs::path>& directories, const fs::path& dataDirectory)
{
    if (!dataDirectory.is_absolute())
        return;
    directories.push_back(dataDirectory / "sounds");
    directories.push_back(dataDirectory / "sounds" / kFallbackThemeSubdirectory);
}

} // namespace

// static
SoundLibrary::Environment SoundLibrary::Environment::current()
{
    std::string dataDirs;
    for (const auto& directory : XdgBaseDirectories::dataDirectories())
        dataDirs += (dataDirs.empty() ? "" : ":") + directory;
    return {{}, XdgBaseDirectories::dataHome(), dataDirs};
}

// static
const std::vector<std::string>& SoundLibrary::soundFileTypes()
{
    static const std::vector<std::string> types{"oga", "ogg", "wav"};
    return types;
}

SoundLibrary::SoundLibrary(fs::path resourcesDirectory, Environment environment)
{
    m_searchDirectories.push_back(std::move(resourcesDirectory) / "sounds");

    if (!environment.xdgDataHome.empty())
        appendDataDirectory(m_searchDirectories, environment.xdgDataHome);
    else if (!environment.home.empty())
        appendDataDirectory(m_searchDirectories, fs::path(environment.home) / ".local" / "share");

    std::istringstream dataDirs(environment.xdgDataDirs.empty() ? kDefaultDataDirs : environment.xdgDataDirs);
    for (std::string entry; std::getline(dataDirs, entry, ':');) {
        if (!entry.empty())
            appendDataDirectory(m_searchDirectories, entry);
    }
}

std::optional<fs::path> SoundLibrary::pathForSoundNamed(const std::string& name) const
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return std::nullopt;

    for (const fs::path& directory : m_searchDirectories) {
        for (const std::string& type : soundFileTypes()) {
            fs::path candidate = directory / (name + "." + type);
            std::error_code error;
            if (fs::is_regular_file(candidate, error))
                return candidate;
        }
    }
    return std::nullopt;
}

} // namespace velmora
