#pragma once

#include "platform/SoundService.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct ca_context;

namespace velmora::linux_desktop {

// Sounds played through libcanberra (the desktop's event-sound library,
// which plays through PulseAudio/PipeWire or ALSA). A name is a sound file's
// base name: our own sounds first, then the user's and the system's
// freedesktop sound theme ("Bottle", "bell", "complete", ...).
class CanberraSoundService final : public SoundService {
public:
    // `ownSounds` are searched before the theme.
    explicit CanberraSoundService(std::vector<std::filesystem::path> ownSounds);
    ~CanberraSoundService() override;
    CanberraSoundService(const CanberraSoundService&) = delete;
    CanberraSoundService& operator=(const CanberraSoundService&) = delete;

    // Null when no file of that name exists; a sound whose file exists is
    // returned even where nothing can play (its play() then fails).
    std::shared_ptr<Sound> soundNamed(const std::string& name) override;

    // The file a name resolves to.
    std::optional<std::filesystem::path> pathForSoundNamed(const std::string& name) const;
    const std::vector<std::filesystem::path>& searchDirectories() const { return m_directories; }

    // Volume 0..1 as canberra's decibels: 20 log10(volume); silence at 0.
    static float decibelsForVolume(float volume);

private:
    std::vector<std::filesystem::path> m_directories;
    ca_context* m_context{nullptr}; // owned; null when no sound system could be reached
    bool m_opened{false};
    std::map<std::string, std::shared_ptr<Sound>> m_sounds;
    uint32_t m_nextPlayId{1};
};

} // namespace velmora::linux_desktop
