#pragma once

#include "platform/Screens.h"

#include <optional>
#include <vector>

namespace velmora::sim {

// The attached screens: by default one 1440 x 900 screen at (0, 0), scale 1.
class SimScreens final : public Screens {
public:
    SimScreens();

    // Screens overrides.
    std::vector<Screen> screens() override { return m_screens; }
    // The value set with setMainScreenScaleFactor, else the primary screen's,
    // else 1.
    float mainScreenScaleFactor() override;

    void setScreens(std::vector<Screen> screens) { m_screens = std::move(screens); }
    void setMainScreenScaleFactor(float scale) { m_mainScale = scale; }

private:
    std::vector<Screen> m_screens;
    std::optional<float> m_mainScale;
};

} // namespace velmora::sim
