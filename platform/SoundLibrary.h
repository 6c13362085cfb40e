#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Finds the file of a sound by its name, the way the move sound is chosen:
// the name is a file's base name without its extension ("Bottle" for
// "Bottle.oga"). The program's own sounds come first, then the user's, then
// the system's, following the XDG base directories; in each data directory
// both "sounds/" itself and the freedesktop theme's "sounds/freedesktop/stereo/"
// are searched.
class SoundLibrary {
public:
    // The part of the process environment the search depends on, as the XDG
    // variables give it. Empty means unset; the XDG defaults then apply.
    // current() has GLib's reading, with the defaults already applied.
    struct Environment {
        std::string home;
        std::string xdgDataHome;
        std::string xdgDataDirs;

        static Environment current();
    };

    // Extensions of the files the player can read, in order of preference
    // when one directory holds a sound in more than one form.
    static const std::vector<std::string>& soundFileTypes();

    // `resourcesDirectory` is the program's resources (share/velmora when
    // installed); its "sounds" subdirectory holds the program's own sounds.
    explicit SoundLibrary(std::filesystem::path resourcesDirectory, Environment environment = Environment::current());

    // The directories searched, in order (whether they exist or not).
    const std::vector<std::filesystem::path>& searchDirectories() const { return m_searchDirectories; }

    // The first regular file (links followed) named `name` plus one of the
    // sound file types; nothing for an empty name, a name that is a path or
    // "."/"..", or when no directory holds such a file.
    std::optional<std::filesystem::path> pathForSoundNamed(const std::string& name) const;

private:
    std::vector<std::filesystem::path> m_searchDirectories;
};

} // namespace velmora
