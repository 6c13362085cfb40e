#pragma once

#include "platform/SoundLibrary.h"
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
// base name, found by the sound library: our own sounds first, then the
// user's and the system's, the freedesktop sound theme included ("Bottle",
// "bell", "complete", ...).
class CanberraSoundService final : public SoundService {
public:
    explicit CanberraSoundService(SoundLibrary library);
    ~CanberraSoundService() override;
    CanberraSoundService(const CanberraSoundService&) = delete;
    CanberraSoundService& operator=(const CanberraSoundService&) = delete;

    // Null when no file of that name exists; a sound whose file exists is
    // returned even where nothing can play (its play() then fails).
    std::shared_ptr<Sound> soundNamed(const std::string& name) override;

    const SoundLibrary& library() const { return m_library; }

    // Volume 0..1 as canberra's decibels: 20 log10(volume); silence at 0.
    static float decibelsForVolume(float volume);

private:
    SoundLibrary m_library;
    ca_context* m_context{nullptr}; // owned; null when no sound system could be reached
    bool m_opened{false};
    std::map<std::string, std::shared_ptr<Sound>> m_sounds;
    uint32_t m_nextPlayId{1};
};

} // namespace velmora::linux_desktop
