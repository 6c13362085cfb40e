#include "platform/sim/SimPointer.h"

#include "platform/sim/SimRunLoop.h"

namespace velmora::sim {

SimPointer::SimPointer(SimRunLoop& runLoop, Point start) : m_runLoop(runLoop), m_location(start) { }

void SimPointer::moveTo(Point point)
{
    if (!m_abilities.movesOnScreen)
        return;
    m_moves.push_back({m_runLoop.now(), m_location, point, {}});
    m_location = point;
}

bool SimPointer::moveToInWindow(const AccessibleElement& window, Point point)
{
    if (!m_abilities.movesInWindow || !window)
        return false;
    m_moves.push_back({m_runLoop.now(), m_location, point, window});
    m_location = point;
    return true;
}

bool SimPointer::anyButtonDown()
{
    return m_buttonDown || m_runLoop.now() < m_releaseTime;
}

void SimPointer::holdButton(double seconds)
{
    m_releaseTime = m_runLoop.now() + seconds;
}

void SimPointer::setButtonDown(bool down)
{
    m_buttonDown = down;
    if (!down)
        m_releaseTime = -1;
}

} // namespace velmora::sim
