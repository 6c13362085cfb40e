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

bool SimPointer::moveToInWindow(const AccessibleElement& window, WindowPoint point)
{
    if (!m_abilities.movesInWindow || !window)
        return false;
    // The simulated windows' own pixels are screen pixels: a window backend
    // here moves to the same place a screen one would.
    const Point onScreen{point.x, point.y};
    m_moves.push_back({m_runLoop.now(), m_location, onScreen, window});
    m_location = onScreen;
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
