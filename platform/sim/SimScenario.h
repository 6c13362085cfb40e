#pragma once

#include "platform/Screens.h"
#include "platform/Value.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmora::sim {

class SimDesktop;

// A timeline of desktop events, read from a small JSON file and played on a
// SimDesktop's run loop, so the program under test runs between the events.
//
//   {
//     "screens":     [{"frame": [0, 0, 1440, 900], "scale": 1}],  // primary first; optional
//     "pointer":     [720, 450],                       // starting position, top-left origin; optional
//     "sounds":      {"Bottle": 0.4},                  // sounds that exist, with their length in seconds
//     "preferences": {"playsSoundOnMove": true},       // merged into the program's domain at the start
//     "running":     [APP, ...],                       // already running at the start: no launch notice
//     "duration":    12,                               // when the timeline ends; default: last event + 1 s
//     "events": [
//       {"at": 0.5, "launch": APP},
//       {"at": 1,   "activate": "Editor"},             // also "hide", "unhide", "quit": an application name
//       {"at": 1.5, "dialog": {"app": "Editor", "title": "Save changes?", "position": [510, 200],
//                              "buttons": [{"title": "Save", "default": true},
//                                          {"title": "Cancel", "cancel": true, "enabled": true}]}},
//       {"at": 2,   "window": {"app": "Editor", "title": "Notes", "frame": [40, 60, 800, 600]}},
//       {"at": 3,   "press": "default"},               // or "cancel", or a button title
//       {"at": 3.5, "close": "Notes"},                 // a window title
//       {"at": 4,   "userMovesPointer": [300, 200]},
//       {"at": 4.5, "holdMouseButton": 0.8},           // seconds until the user lets go
//       {"at": 6,   "setPref": {"key": "playsSoundOnMove", "value": true}},
//       {"at": 7,   "sleepDisplays": true},            // also "wakeDisplays"
//       {"at": 8,   "note": "a line for the log"}
//     ]
//   }
//
//   APP = {"name": "Editor", "bundle": "org.example.Editor", "path": "/usr/bin/editor",
//          "pid": 501, "background": false}   // only "name" is required; an older
//                                                 // file's "creator" is ignored
//
// Times are seconds after schedule(). Events at the same time run in file
// order. "window" and "dialog" open a window on top of their application and
// give it the focus; dialog buttons are 80 x 20 and laid out from the right
// edge leftwards in the order given (the default is centred near the top of
// the primary screen). "press" answers the focused window of the frontmost
// application with one of its buttons: the window closes. "setPref" does what
// the preference pane does: it writes the key into the program's domain and
// posts the order to re-read the preferences.
//
// A file with an error is refused whole, with a message naming the place
// ("events[3] (activate): ..."). Application names are checked against the
// timeline; what can only be known while playing (no focused dialog, no such
// button) is written to the system log as "scenario: events[N] ..." and the
// timeline goes on.
class SimScenario {
public:
    // Nothing, and the reason in `error`, for a file that cannot be played.
    static std::optional<SimScenario> fromJSON(const std::string& text, std::string& error);
    static std::optional<SimScenario> fromFile(const std::string& path, std::string& error);

    // Sets up the starting state now (call it before the program under test
    // starts) and schedules every event relative to the current time.
    void schedule(SimDesktop& desktop) const;

    // Seconds from schedule() to the end of the timeline.
    double duration() const { return m_duration; }
    size_t eventCount() const { return m_events.size(); }

private:
    struct AppSpec {
        std::string name;
        std::optional<std::string> bundle;
        std::string path;
        int pid{0};
        bool background{false};
    };
    // Runs one event; returns what went wrong, or "" when it went well.
    using Action = std::function<std::string(SimDesktop&)>;
    struct Event {
        double at;
        std::string label; // "events[N] (kind)"
        Action action;
    };

    class Parser;

    std::optional<std::vector<Screen>> m_screens;
    std::optional<std::pair<float, float>> m_pointer;
    std::map<std::string, double> m_sounds;
    Value::Dictionary m_preferences;
    std::vector<AppSpec> m_running;
    std::vector<Event> m_events;
    double m_duration{0};
};

} // namespace velmora::sim
