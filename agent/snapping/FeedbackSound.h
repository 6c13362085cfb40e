#pragma once

#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/SoundService.h"

#include <memory>

namespace velmora {

// Plays the user's chosen sound whenever the agent moves the pointer, onto a
// button or back. Holds no settings: each move reads them anew, so a change
// in the pane counts from the next move on.
class FeedbackSound {
public:
    // Subscribes to kPointerSnapped and kPointerSnappedBack from any sender;
    // destruction unsubscribes. `platform` is not owned and must outlive the
    // sound.
    explicit FeedbackSound(Platform& platform);
    ~FeedbackSound();
    FeedbackSound(const FeedbackSound&) = delete;
    FeedbackSound& operator=(const FeedbackSound&) = delete;

    // Plays the sound if the user wants one. A sound still playing from an
    // earlier move only takes the new volume; it is not started a second time.
    // The notification's content is not used.
    void playSound(const Notification& notification);

    // The named sound with its volume set; null when no name is set or no
    // sound has that name.
    std::shared_ptr<Sound> soundToPlay();
    // 0.0 (silent) to 1.0 (full); a missing setting reads as 0.0.
    float volume();

private:
    Platform& m_platform;
    NotificationObservation m_movedToObservation;
    NotificationObservation m_movedBackObservation;
};

} // namespace velmora
