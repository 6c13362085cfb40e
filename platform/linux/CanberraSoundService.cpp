#include "platform/linux/CanberraSoundService.h"

#include <canberra.h>
#include <glib.h>

#include <cmath>

namespace velmora::linux_desktop {

namespace {

// Quieter than any 16-bit sample can be: what "volume 0" plays at.
constexpr float kSilenceDecibels = -120.0f;

class CanberraSound final : public Sound {
public:
    CanberraSound(ca_context* context, std::filesystem::path file, uint32_t* nextPlayId)
        : m_context(context)
        , m_file(std::move(file))
        , m_nextPlayId(nextPlayId)
    {
    }

    void setVolume(float volume) override { m_volume = volume; }
    float volume() const override { return m_volume; }

    bool isPlaying() override
    {
        if (!m_context || !m_playId)
            return false;
        int playing = 0;
        return ca_context_playing(m_context, m_playId, &playing) == CA_SUCCESS && playing;
    }

    bool play() override
    {
        if (!m_context)
            return false;
        m_playId = (*m_nextPlayId)++;
        char volume[32];
        g_ascii_formatd(volume, sizeof volume, "%.2f", CanberraSoundService::decibelsForVolume(m_volume));
        // No completion callback: canberra would call it from its own thread.
        return ca_context_play(m_context, m_playId, CA_PROP_MEDIA_FILENAME, m_file.c_str(), CA_PROP_CANBERRA_VOLUME,
                   volume, CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr) == CA_SUCCESS;
    }

private:
    ca_context* m_context; // not owned; the service outlives its sounds' use
    std::filesystem::path m_file;
    uint32_t* m_nextPlayId; // the service's counter
    uint32_t m_playId{0};
    float m_volume{1.0f};
};

} // namespace

CanberraSoundService::CanberraSoundService(SoundLibrary library) : m_library(std::move(library))
{
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Velmora", CA_PROP_APPLICATION_ID, "com.brightfen.velmora", nullptr);
    m_opened = ca_context_open(m_context) == CA_SUCCESS;
}

CanberraSoundService::~CanberraSoundService()
{
    m_sounds.clear();
    if (m_context)
        ca_context_destroy(m_context);
}

// static
float CanberraSoundService::decibelsForVolume(float volume)
{
    if (!(volume > 0.0f))
        return kSilenceDecibels;
    return std::max(kSilenceDecibels, 20.0f * std::log10(std::min(volume, 1.0f)));
}

std::shared_ptr<Sound> CanberraSoundService::soundNamed(const std::string& name)
{
    auto it = m_sounds.find(name);
    if (it != m_sounds.end())
        return it->second;
    auto path = m_library.pathForSoundNamed(name);
    if (!path)
        return nullptr;
    auto sound = std::make_shared<CanberraSound>(m_opened ? m_context : nullptr, *path, &m_nextPlayId);
    m_sounds.emplace(name, sound);
    return sound;
}

} // namespace velmora::linux_desktop
