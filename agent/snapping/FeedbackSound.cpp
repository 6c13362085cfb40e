#include "agent/snapping/FeedbackSound.h"

#include "agent/snapping/SnapNotifications.h"
#include "platform/Platform.h"
#include "shared/preferences/VelmoraPreferences.h"

namespace velmora {

FeedbackSound::FeedbackSound(Platform& platform) : m_platform(platform)
{
    NotificationCenter& center = platform.localNotificationCenter();
    m_movedToObservation = center.addObserver(kPointerSnapped, nullptr,
        [this](const Notification& n) { playSound(n); });
    m_movedBackObservation = center.addObserver(kPointerSnappedBack, nullptr,
        [this](const Notification& n) { playSound(n); });
}

FeedbackSound::~FeedbackSound() = default;

void FeedbackSound::playSound(const Notification&)
{
    if (!m_platform.standardUserDefaults().boolForKey(VelmoraPreferences::kPlaysSoundOnMove))
        return;
    std::shared_ptr<Sound> sound = soundToPlay();
    if (!sound || sound->isPlaying())
        return;
    sound->play();
}

std::shared_ptr<Sound> FeedbackSound::soundToPlay()
{
    Platform& platform = m_platform;
    Value name = platform.standardUserDefaults().objectForKey(VelmoraPreferences::kFeedbackSoundName);
    if (!name.string())
        return nullptr;
    std::shared_ptr<Sound> sound = platform.sounds().soundNamed(*name.string());
    if (sound)
        sound->setVolume(volume());
    return sound;
}

float FeedbackSound::volume()
{
    return m_platform.standardUserDefaults().floatForKey(VelmoraPreferences::kFeedbackSoundVolume);
}

} // namespace velmora
