#include "apps/MessageCatalog.h"

#include <clocale>
#include <libintl.h>

namespace velmora {

// static
void MessageCatalog::open()
{
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto directory = directoryFor(error ? std::filesystem::path() : program.parent_path());
    bindtextdomain(kDomain, directory.c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
    textdomain(kDomain);
}

// static
std::filesystem::path MessageCatalog::directoryFor(const std::filesystem::path& programFolder)
{
    // The same mark `velmora start` knows a build folder by: CMake leaves its
    // cache in every build folder and installs none.
    std::error_code error;
    if (!programFolder.empty() && std::filesystem::exists(programFolder / "CMakeCache.txt", error))
        return programFolder / "locale";
    return VELMORA_LOCALEDIR;
}

} // namespace velmora
