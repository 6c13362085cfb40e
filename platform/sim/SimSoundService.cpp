#include "platform/sim/SimSoundService.h"

#include "platform/sim/SimRunLoop.h"

namespace velmora::sim {

namespace {

class SimSound final : public Sound {
public:
    SimSound(SimSoundService& service, std::string name, double length)
        : m_service(service)
        , m_name(std::move(name))
        , m_length(length)
    {
    }

    void setVolume(float volume) override { m_volume = volume; }
    float volume() const override { return m_volume; }
    bool isPlaying() override { return m_service.runLoop().now() < m_endTime; }

    // Like a desktop sound object, a sound that is still playing does not
    // start again.
    bool play() override
    {
        if (isPlaying())
            return false;
        double now = m_service.runLoop().now();
        m_endTime = now + m_length;
        m_service.recordPlay({now, m_name, m_volume});
        return true;
    }

private:
    SimSoundService& m_service; // not owned; outlives the sound's use
    std::string m_name;
    double m_length;
    float m_volume{1.0f};
    double m_endTime{-1};
};

} // namespace

SimSoundService::SimSoundService(SimRunLoop& runLoop) : m_runLoop(runLoop) { }

SimSoundService::~SimSoundService() = default;

std::shared_ptr<Sound> SimSoundService::soundNamed(const std::string& name)
{
    if (auto it = m_sounds.find(name); it != m_sounds.end())
        return it->second;
    auto length = m_lengths.find(name);
    if (length == m_lengths.end())
        return nullptr;
    auto sound = std::make_shared<SimSound>(*this, name, length->second);
    m_sounds.emplace(name, sound);
    return sound;
}

void SimSoundService::addSound(const std::string& name, double seconds)
{
    m_lengths[name] = seconds;
}

} // namespace velmora::sim
