#include "platform/linux/UnknownScreens.h"

namespace velmora::linux_desktop {

std::vector<Screen> UnknownScreens::screens()
{
    return {};
}

float UnknownScreens::mainScreenScaleFactor()
{
    return 1.0f;
}

} // namespace velmora::linux_desktop
