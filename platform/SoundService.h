#pragma once

#include <memory>
#include <string>

namespace velmora {

class Sound {
public:
    virtual ~Sound() = default;
    virtual void setVolume(float volume) = 0; // 0.0 silent .. 1.0 full
    virtual float volume() const = 0;
    virtual bool isPlaying() = 0;
    // Starts playing and returns at once.
    virtual bool play() = 0;
};

class SoundService {
public:
    virtual ~SoundService() = default;
    // The sound of that name among the program's own and the system's sounds;
    // the same object for the same name, so it knows whether it still plays.
    // Null when no sound has that name.
    virtual std::shared_ptr<Sound> soundNamed(const std::string& name) = 0;
};

} // namespace velmora
