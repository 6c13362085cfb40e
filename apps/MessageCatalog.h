#pragma once
#include <filesystem>

namespace velmora {

// Opens the "velmora" text domain for one of the two programs, so that _()
// answers in the user's language.
class MessageCatalog {
public:
    static constexpr const char* kDomain = "velmora";

    // Takes the user's locale from the environment (numbers excepted: the
    // settings file and the command's values keep the C locale's), and binds
    // the domain, in UTF-8, to directoryFor() the running program's folder.
    static void open();

    // Where the compiled catalogues are for a program in programFolder: a
    // build folder's own locale/ (made by msgfmt at build time), so that a
    // program run where it was built speaks without being installed, or else
    // the installed locale folder.
    static std::filesystem::path directoryFor(const std::filesystem::path& programFolder);
};

} // namespace velmora
