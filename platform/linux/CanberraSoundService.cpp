#include "platform/linux/CanberraSoundService.h"

#include <canberra.h>
#include <glib.h>

#include <array>
#include <cmath>

namespace velmora::linux_desktop {

namespace {

// Quieter than any 16-bit sample can be: what "volume 0" plays at.
constexpr float kSilenceDecibels = -120.0f;

constexpr std::array<const char*, 4> kSoundFileTypes = {".oga", ".ogg", ".wav", ".flac"};

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

CanberraSoundService::CanberraSoundService(std::vector<std::filesystem::path> ownSounds) : m_directories(std::move(ownSounds))
{
    // The user's theme sounds before the system's, as XDG data lookups go.
    std::vector<std::filesystem::path> dataDirs{g_get_user_data_dir()};
    for (const gchar* const* dir = g_get_system_data_dirs(); dir && *dir; ++dir)
        dataDirs.emplace_back(*dir);
    for (const auto& dir : dataDirs) {
        m_directories.push_back(dir / "sounds");
        m_directories.push_back(dir / "sounds" / "freedesktop" / "stereo");
    }
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

std::optional<std::filesystem::path> CanberraSoundService::pathForSoundNamed(const std::string& name) const
{
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return std::nullopt;
    for (const auto& dir : m_directories) {
        for (const char* type : kSoundFileTypes) {
            std::filesystem::path candidate = dir / (name + type);
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error))
                return candidate;
        }
    }
    return std::nullopt;
}

std::shared_ptr<Sound> CanberraSoundService::soundNamed(const std::string& name)
{
    auto it = m_sounds.find(name);
    if (it != m_sounds.end())
        return it->second;
    auto path = pathForSoundNamed(name);
    if (!path)
        return nullptr;
    auto sound = std::make_shared<CanberraSound>(m_opened ? m_context : nullptr, *path, &m_nextPlayId);
    m_sounds.emplace(name, sound);
    return sound;
}

} // namespace velmora::linux_desktop
