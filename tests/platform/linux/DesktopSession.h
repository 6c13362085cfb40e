#pragma once

// What the backend's desktop tests share: the buses of the private desktop
// that run-desktop-tests.sh started, an accessibility backend on them, and
// dialogs of real programs started and stopped per test.

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/GlibRunLoop.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowLocator.h"

#include <gtest/gtest.h>

#include <atspi/atspi.h>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velmora::linux_desktop::testing {

// Runs the main loop until `done` or `seconds` pass; whether `done` came true.
inline bool pumpUntil(const std::function<bool()>& done, double seconds)
{
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
    while (!done()) {
        if (g_get_monotonic_time() > deadline)
            return false;
        GlibRunLoop::iterate(false);
        g_usleep(2000);
    }
    return true;
}

inline void pumpFor(double seconds)
{
    pumpUntil([] { return false; }, seconds);
}

// A spot on the screen, in X11 pixels.
struct Spot {
    int x{0};
    int y{0};
};

// Where the pointer belongs on a button: 15 px in from its right edge,
// vertically centred, from the extents AT-SPI reports to any client (or
// `probe` reads by its own means), not from the agent's own reading, once the
// dialog has taken the focus (up to `seconds`).
inline std::optional<Spot> expectedButtonSpot(pid_t pid, const std::string& label,
                                              const char* probe = DESKTOP_TESTS_DIR "/button-extents.py", double seconds = 10)
{
    std::optional<Spot> spot;
    pumpUntil([&] {
        const std::string command = std::string(probe) + " " + std::to_string(pid) + " '" + label + "'";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return false;
        int x = 0, y = 0, w = 0, h = 0;
        int read = std::fscanf(pipe, "%d %d %d %d", &x, &y, &w, &h);
        pclose(pipe);
        if (read != 4 || w <= 0)
            return false;
        spot = Spot{static_cast<int>(std::lround(x + w - 15.0)), static_cast<int>(std::lround(y + h / 2.0))};
        return true;
    }, seconds);
    return spot;
}

// Whether a window of the program (with `roles`, one of those AT-SPI role
// names, e.g. "dialog") is active within `seconds`, as any client sees it;
// the loop is served meanwhile.
inline bool windowActive(pid_t pid, const std::string& roles = "", double seconds = 20)
{
    const std::string probe = std::string(DESKTOP_TESTS_DIR "/window-active.py ") + std::to_string(pid) + " " + roles;
    return pumpUntil([&] { return std::system(probe.c_str()) == 0; }, seconds);
}

// Whether the pointer, as `where` tells it, reaches `spot` (within a pixel)
// in `seconds`, the loop served meanwhile.
inline ::testing::AssertionResult pointerReachesSpot(const std::function<Spot()>& where, Spot spot, double seconds = 10)
{
    if (pumpUntil([&] {
            Spot p = where();
            return std::abs(p.x - spot.x) <= 1 && std::abs(p.y - spot.y) <= 1;
        }, seconds))
        return ::testing::AssertionSuccess();
    Spot p = where();
    return ::testing::AssertionFailure() << "the pointer rests at " << p.x << ", " << p.y << ", not at " << spot.x << ", " << spot.y;
}

// A program started for one test, killed (and reaped) when the test ends.
class Program {
public:
    explicit Program(std::vector<std::string> argv)
    {
        m_pid = fork();
        if (m_pid == 0) {
            std::vector<char*> args;
            for (auto& a : argv)
                args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Program() { kill(SIGKILL); }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    pid_t pid() const { return m_pid; }
    void signal(int sig) const
    {
        if (m_pid > 0)
            ::kill(m_pid, sig);
    }
    // Whether it ended by itself within `seconds` (then it is reaped).
    bool waitForExit(double seconds)
    {
        if (m_pid <= 0)
            return true;
        const bool ended = pumpUntil([&] { return waitpid(m_pid, nullptr, WNOHANG) == m_pid; }, seconds);
        if (ended)
            m_pid = 0;
        return ended;
    }
    void kill(int sig)
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGCONT);
        ::kill(m_pid, sig);
        waitpid(m_pid, nullptr, 0);
        m_pid = 0;
    }

private:
    pid_t m_pid{0};
};

// The accessibility backend on the test desktop's buses, as the agent builds it.
class DesktopSession {
public:
    DesktopSession()
    {
        m_x11 = X11Connection::open();
        GErrorPtr error;
        m_session = GObjectRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()));
        if (!m_x11 || !m_session)
            return;
        const std::string address = AtspiAccessibility::busAddress(m_session.get());
        m_a11y = GObjectRef<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, error.out()));
        if (!m_a11y || atspi_init() > 1)
            return;
        atspi_set_timeout(kAtspiTimeoutSettingMs, kAtspiTimeoutSettingMs);
        m_locator = std::make_unique<X11WindowLocator>(m_x11->display());
        m_accessibility = std::make_unique<AtspiAccessibility>(AtspiAccessibility::Buses{m_session.share(), m_a11y.share()}, m_locator.get());
    }
    ~DesktopSession() { m_accessibility.reset(); }

    bool isReady() const { return m_accessibility != nullptr; }
    AtspiAccessibility& ax() { return *m_accessibility; }
    X11Connection& x11() { return *m_x11; }
    GDBusConnection* sessionBus() { return m_session.get(); }

    // Waits for the program's application to register and to show an active
    // window; returns that window (empty on timeout).
    AccessibleElement waitForActiveWindow(pid_t pid, double seconds = 10)
    {
        AccessibleElement window;
        pumpUntil([&] {
            AccessibleElement app = m_accessibility->createApplication(pid);
            AttributeValue value;
            if (app && m_accessibility->copyAttributeValue(app, "AXFocusedWindow", value) == AccessibilityError::Success && value.element())
                window = *value.element();
            return static_cast<bool>(window);
        }, seconds);
        return window;
    }

    AttributeValue read(const AccessibleElement& element, const std::string& attribute)
    {
        AttributeValue value;
        m_accessibility->copyAttributeValue(element, attribute, value);
        return value;
    }

    std::string title(const AccessibleElement& element) { return read(element, "AXTitle").description(); }

private:
    std::unique_ptr<X11Connection> m_x11;
    GObjectRef<GDBusConnection> m_session;
    GObjectRef<GDBusConnection> m_a11y;
    std::unique_ptr<X11WindowLocator> m_locator;
    std::unique_ptr<AtspiAccessibility> m_accessibility;
};

} // namespace velmora::linux_desktop::testing
