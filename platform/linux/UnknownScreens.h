#pragma once

#include "platform/Screens.h"

namespace velmora::linux_desktop {

// The screens of a Wayland desktop, which tells programs nothing of their
// layout. Positions there are each window's own, in logical pixels: the
// scale that turns points into pixels is already applied.
class UnknownScreens final : public Screens {
public:
    std::vector<Screen> screens() override;
    float mainScreenScaleFactor() override;
};

} // namespace velmora::linux_desktop
