#pragma once

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace velmora {

// The pulsing of a button, free of any toolkit: whether it pulses (it follows
// the pane's start and stop notifications), the colours at a moment, and the
// false-colour mapping of the button's pixels onto them. The front end draws
// the button, hands the pixels over and redraws on every frame.
class PulseAnimation {
public:
    struct Color {
        double red{0};
        double green{0};
        double blue{0};
        bool operator==(const Color&) const = default;
    };

    // The dark end of the gradient, and the light end at the two turning
    // points of its swing.
    static constexpr Color kDarkColor{110 / 255.0, 23 / 255.0, 23 / 255.0};
    static constexpr Color kLightColorFrom{1.0, 1.0, 1.0};
    static constexpr Color kLightColorTo{1.0, 164 / 255.0, 164 / 255.0};
    // One way of the swing; it reverses at each end, so a cycle lasts twice that.
    static constexpr double kDuration = 1.0;
    static constexpr double kFrameInterval = 1.0 / 30;

    // `notifications` (where the pane posts its start and stop) and
    // `runLoop` outlive the animation.
    PulseAnimation(NotificationCenter& notifications, RunLoop& runLoop);
    ~PulseAnimation();
    PulseAnimation(const PulseAnimation&) = delete;
    PulseAnimation& operator=(const PulseAnimation&) = delete;

    bool pulsing() const { return m_pulsing; }
    // Starting restarts the swing at white; a repeated start or stop changes nothing.
    void setPulsing(bool pulsing);

    // Called on each frame while pulsing, and once when the pulsing stops, so
    // the front end redraws.
    std::function<void()> onFrame;

    // Seconds since the pulsing started; 0 while still.
    double elapsed() const;
    // The light end of the gradient `elapsed` seconds into the pulsing.
    static Color lightColorAt(double elapsed);
    // The colour a pixel of that brightness (0 dark .. 1 light) takes.
    static Color falseColor(double brightness, const Color& light);
    // Maps premultiplied 32-bit ARGB pixels (native byte order) in place
    // onto the gradient of this moment; transparency is kept.
    void mapPixels(uint8_t* data, int width, int height, int stride) const;
    static void mapPixels(uint8_t* data, int width, int height, int stride, const Color& light);

private:
    RunLoop& m_runLoop;
    bool m_pulsing{false};
    double m_startTime{0};
    std::unique_ptr<Timer> m_frameTimer;
    NotificationObservation m_startObservation;
    NotificationObservation m_stopObservation;
};

} // namespace velmora
