#pragma once

namespace velmora::linux_desktop {

// Every wait on another process, in one place. A healthy toolkit answers an
// accessibility request in a few milliseconds; these budgets only decide how
// long a frozen or dying one may hold the agent.

// One accessibility request. Short enough that a frozen application holds up
// snapping elsewhere for half a second at most, once (the hung-app ledger
// stops further requests); long enough for a busy application that is
// painting a large window. libatspi's own default is 800 ms, which was picked
// for screen readers that can afford to wait.
inline constexpr int kAtspiCallMs = 500;

// What libatspi is told. It waits for a reply in slices of its timeout and
// gives up only when a slice ends past it, so a request to a frozen
// application lasts between one and two of its timeouts: half the budget.
inline constexpr int kAtspiTimeoutSettingMs = kAtspiCallMs / 2;

// A request that failed after spending at least this much timed out: the
// application is taken as hung rather than gone (a gone one fails at once).
inline constexpr double kHungAfterMs = 0.8 * kAtspiTimeoutSettingMs;

// How long one liveness ping of a hung application may wait for its answer
// before the next ping is sent. Pings are asynchronous and cost the agent
// nothing while they wait.
inline constexpr int kPingTimeoutMs = 2000;

// Calls to the bus daemons and to the session's own services (accessibility
// status, bus address, name owners). These never wait on an application.
inline constexpr int kBusCallMs = 1000;
// Connecting to the session bus (its handshake), once at start.
inline constexpr int kSessionBusConnectMs = 5000;

// One call to the desktop's notification server. GNOME Shell and Plasma
// answer from their compositor's own thread, which a window animation can
// hold for a while; an alert that is late by two seconds is still useful,
// and after that it goes to a dialog instead.
inline constexpr int kNotificationCallMs = 2000;

// How often the display power state is polled: DPMS has no change events.
// One round trip to the X server every two seconds is far below the idle
// budget, and a screen waking is noticed before the user can open a dialog.
inline constexpr int kDpmsPollMs = 2000;

} // namespace velmora::linux_desktop
