#include "platform/sim/SimScreens.h"

namespace velmora::sim {

SimScreens::SimScreens() : m_screens{Screen{Rect{{0, 0}, {1440, 900}}, 1.0f}} { }

float SimScreens::mainScreenScaleFactor()
{
    if (m_mainScale)
        return *m_mainScale;
    return m_screens.empty() ? 1.0f : m_screens.front().scaleFactor;
}

} // namespace velmora::sim
