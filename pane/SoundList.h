#pragma once

#include "platform/SoundLibrary.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The names the sound chooser offers for the agent's move sound. They come
// from exactly the directories the agent's sound library searches, with the
// file types it plays, so the agent finds a file for every regular file
// listed here.
class SoundList {
public:
    // The process's list: built on the first call from the program's
    // resources and the XDG data directories, then kept unchanged for the
    // life of the process. Main thread only.
    static const std::vector<std::string>& availableSoundsforPW();

    // A list over `library`'s directories, built on the first call of
    // names() and kept.
    explicit SoundList(SoundLibrary library) : m_library(std::move(library)) { }

    const std::vector<std::string>& names();

    // The same names split the way a person picks from them: Velmora's own
    // (the program's resources) first, then the desktop's sound theme (the
    // data directories), each sorted, a name in both only under Velmora's,
    // where the agent finds it first. Empty groups are left out.
    struct Group {
        std::string title;
        std::vector<std::string> names;
    };
    static const std::vector<Group>& availableSoundGroups();
    std::vector<Group> groups() const;

    // How a sound's file name reads in the chooser: words split at dashes
    // and underscores, the first capitalised ("power-unplug" reads "Power
    // unplug"); Velmora's own names ("Glass") read as they are.
    static std::string readableName(const std::string& soundName);

    // The names in `directories` (those that are missing or not directories
    // are skipped; subdirectories are not entered): every entry whose
    // extension is exactly one of `types` (case matters), without that
    // extension, judged by its name alone. Duplicates stay; sorted by byte
    // comparison.
    static std::vector<std::string> soundNamesInDirectories(const std::vector<std::filesystem::path>& directories,
        const std::vector<std::string>& types);

private:
    SoundLibrary m_library;
    std::optional<std::vector<std::string>> m_names;
};

} // namespace velmora
