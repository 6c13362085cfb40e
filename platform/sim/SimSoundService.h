#pragma once

#include "platform/SoundService.h"
#include "platform/sim/SimDesktop.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::sim {

class SimRunLoop;

// Sounds that exist by name, each with a length. A sound plays for its
// length in virtual time; every start is recorded.
class SimSoundService final : public SoundService {
public:
    using Play = SimDesktop::PlayedSound;

    explicit SimSoundService(SimRunLoop& runLoop);
    ~SimSoundService() override;

    // SoundService overrides.
    // One shared object per name; null for a name never added. The objects
    // must not be used once the service is gone.
    std::shared_ptr<Sound> soundNamed(const std::string& name) override;

    void addSound(const std::string& name, double seconds);
    const std::vector<Play>& plays() const { return m_plays; }

    // For the sounds: the clock and the record of starts.
    SimRunLoop& runLoop() { return m_runLoop; }
    void recordPlay(Play play) { m_plays.push_back(std::move(play)); }

private:
    SimRunLoop& m_runLoop; // not owned
    std::map<std::string, double> m_lengths;
    std::map<std::string, std::shared_ptr<Sound>> m_sounds;
    std::vector<Play> m_plays;
};

} // namespace velmora::sim
