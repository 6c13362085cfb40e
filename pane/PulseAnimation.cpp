#include "pane/PulseAnimation.h"

#include "pane/SettingsPane.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// The usual ease-in-ease-out curve: slow at both turning points.
double easeInOut(double t)
{
    return t * t * (3.0 - 2.0 * t);
}

double mix(double from, double to, double fraction)
{
    return from + (to - from) * fraction;
}

} // namespace

PulseAnimation::PulseAnimation(NotificationCenter& notifications, RunLoop& runLoop) : m_runLoop(runLoop)
{
    m_startObservation = notifications.addObserver(SettingsPane::kStartAnimatingNotification, nullptr, [this](const Notification&) { setPulsing(true); });
    m_stopObservation = notifications.addObserver(SettingsPane::kStopAnimatingNotification, nullptr, [this](const Notification&) { setPulsing(false); });
}

PulseAnimation::~PulseAnimation() = default;

void PulseAnimation::setPulsing(bool pulsing)
{
    if (pulsing == m_pulsing)
        return;
    m_pulsing = pulsing;
    if (pulsing) {
        m_startTime = m_runLoop.now();
        m_frameTimer = m_runLoop.scheduleTimer(kFrameInterval, TimerRepeats::Yes, [this] {
            if (onFrame)
                onFrame();
        });
    } else {
        m_frameTimer.reset();
        if (onFrame)
            onFrame();
    }
}

double PulseAnimation::elapsed() const
{
    return m_pulsing ? m_runLoop.now() - m_startTime : 0;
}

// static
PulseAnimation::Color PulseAnimation::lightColorAt(double elapsed)
{
    const double cycle = 2 * kDuration;
    double phase = std::fmod(std::max(elapsed, 0.0), cycle) / kDuration; // 0..2
    const double fraction = easeInOut(phase <= 1 ? phase : 2 - phase);
    return {mix(kLightColorFrom.red, kLightColorTo.red, fraction), mix(kLightColorFrom.green, kLightColorTo.green, fraction),
            mix(kLightColorFrom.blue, kLightColorTo.blue, fraction)};
}

// static
PulseAnimation::Color PulseAnimation::falseColor(double brightness, const Color& light)
{
    const double b = std::clamp(brightness, 0.0, 1.0);
    return {mix(kDarkColor.red, light.red, b), mix(kDarkColor.green, light.green, b), mix(kDarkColor.blue, light.blue, b)};
}

void PulseAnimation::mapPixels(uint8_t* data, int width, int height, int stride) const
{
    mapPixels(data, width, height, stride, lightColorAt(elapsed()));
}

// static
void PulseAnimation::mapPixels(uint8_t* data, int width, int height, int stride, const Color& light)
{
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t pixel = row[x];
            const uint32_t alpha = pixel >> 24;
            if (alpha == 0)
                continue;
            const double a = alpha / 255.0;
            // Unpremultiplied channels, weighted as the eye sees brightness.
            const double red = ((pixel >> 16) & 0xff) / 255.0 / a;
            const double green = ((pixel >> 8) & 0xff) / 255.0 / a;
            const double blue = (pixel & 0xff) / 255.0 / a;
            const Color mapped = falseColor(0.2126 * red + 0.7152 * green + 0.0722 * blue, light);
            auto channel = [a](double value) { return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * a * 255.0)); };
            row[x] = (alpha << 24) | (channel(mapped.red) << 16) | (channel(mapped.green) << 8) | channel(mapped.blue);
        }
    }
}

} // namespace velmora
