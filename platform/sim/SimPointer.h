#pragma once

#include "platform/Pointer.h"
#include "platform/sim/SimDesktop.h"

#include <vector>

namespace velmora::sim {

class SimRunLoop;

// The simulated pointer. Warps made by the program are recorded with their
// virtual time; moves by the user are not. A held button releases by itself
// once the virtual clock reaches its release time, so an engine polling the
// button state with blockFor() sees it go up.
class SimPointer final : public Pointer {
public:
    using Move = SimDesktop::PointerMove;

    explicit SimPointer(SimRunLoop& runLoop, Point start = {});

    // Pointer overrides.
    PointerAbilities abilities() override { return m_abilities; }
    void moveTo(Point point) override;
    // Recorded like a global move, with the window; the location becomes the
    // point (the simulated windows of such a desktop sit at the origin).
    bool moveToInWindow(const AccessibleElement& window, WindowPoint point) override;
    Point location() override { return m_location; }
    bool anyButtonDown() override;

    void userMoves(Point point) { m_location = point; }
    void setAbilities(PointerAbilities abilities) { m_abilities = abilities; }
    void holdButton(double seconds);
    void setButtonDown(bool down);

    const std::vector<Move>& moves() const { return m_moves; }
    int buttonEventCount() const { return m_buttonEvents; }

private:
    SimRunLoop& m_runLoop; // not owned
    Point m_location;
    std::vector<Move> m_moves;
    PointerAbilities m_abilities;
    double m_releaseTime{-1}; // a held button is down while the clock is before this
    bool m_buttonDown{false};
    int m_buttonEvents{0};    // stays 0: the program never clicks
};

} // namespace velmora::sim
