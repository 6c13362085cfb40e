#pragma once

// What the backend's desktop tests share: the buses of the private desktop
// that run-desktop-tests.sh started, an accessibility backend on them, and
// dialogs of real programs started and stopped per test.

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/GlibRunLoop.h"
#include "platform/linux/TimeBudgets.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11WindowLocator.h"

#include <gtest/gtest.h>

#include <atspi/atspi.h>
#include <csignal>
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
    AXElement waitForActiveWindow(pid_t pid, double seconds = 10)
    {
        AXElement window;
        pumpUntil([&] {
            AXElement app = m_accessibility->createApplication(pid);
            AXValue value;
            if (app && m_accessibility->copyAttributeValue(app, "AXFocusedWindow", value) == AXError::Success && value.element())
                window = *value.element();
            return static_cast<bool>(window);
        }, seconds);
        return window;
    }

    AXValue read(const AXElement& element, const std::string& attribute)
    {
        AXValue value;
        m_accessibility->copyAttributeValue(element, attribute, value);
        return value;
    }

    std::string title(const AXElement& element) { return read(element, "AXTitle").description(); }

private:
    std::unique_ptr<X11Connection> m_x11;
    GObjectRef<GDBusConnection> m_session;
    GObjectRef<GDBusConnection> m_a11y;
    std::unique_ptr<X11WindowLocator> m_locator;
    std::unique_ptr<AtspiAccessibility> m_accessibility;
};

} // namespace velmora::linux_desktop::testing
