#pragma once

#include "platform/NotificationCenter.h"
#include "platform/sim/SimDesktop.h"

#include <ostream>
#include <string>

namespace velmora {

// Tells what happens on the demo desktop, one line per event: applications
// launching and quitting, windows taking the focus, the pointer snapping and
// snapping back (from -> to, onto which button), sounds, and the agent's log.
class DemoNarrator {
public:
    DemoNarrator(sim::SimDesktop& desktop, std::ostream& out);

    // Reports what changed since the last call; call after each step of time.
    void poll();

private:
    // One event: its name in a column of its own, then what happened.
    void line(const char* event, const std::string& text);
    std::string describeElementAt(Point point);
    std::string currentFocus();
    void noteFocus();
    bool focusedWindowHasButton();

    sim::SimDesktop& m_desktop; // not owned; outlives the narrator
    std::ostream& m_out;
    NotificationObservation m_launch;
    NotificationObservation m_terminate;
    NotificationObservation m_snap;
    NotificationObservation m_snapBack;
    size_t m_soundsSeen{0};
    size_t m_logSeen{0};
    size_t m_movesSeen{0};
    std::string m_lastFocus;
    bool m_focusAnswered{false};
    bool m_focusHasButton{false};
};

} // namespace velmora
