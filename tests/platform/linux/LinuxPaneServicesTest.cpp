// What the pane asks of the desktop: starting programs detached, the
// accessibility settings panel, the toolkit's version.

#include "platform/linux/LinuxPaneServices.h"
#include "platform/linux/ScopedVariable.h"
#include "platform/linux/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <glib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::linux_desktop::testing {
namespace {

class LinuxPaneServicesTest : public ::testing::Test {
protected:
    std::filesystem::path script(const std::string& name, const std::string& body, bool executable = true)
    {
        const auto path = m_folder / name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }

    // Waits for a file the started program writes; its contents.
    std::string awaitFile(const std::filesystem::path& path, double seconds = 10)
    {
        const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(seconds * G_USEC_PER_SEC);
        while (g_get_monotonic_time() < deadline) {
            std::ifstream in(path);
            std::stringstream text;
            text << in.rdbuf();
            if (text.str().find('\n') != std::string::npos)
                return text.str();
            g_usleep(20000);
        }
        return "";
    }

    TemporaryFolder m_folder;
    LinuxPaneServices m_services;
};

TEST_F(LinuxPaneServicesTest, AProgramStartsInASessionOfItsOwnAndItsEndIsHeardAndReaped)
{
    const auto report = m_folder / "report";
    // Its pid, parent, session, where its output goes, and its arguments;
    // then it ends as the agent does where it cannot watch.
    const auto program = script("agent", "set -- \"$@\" $(cat /proc/$$/stat)\n"
                                         "echo \"$3 $6 $8 $(readlink /proc/$$/fd/1) $1 $2\" > " + report.string() + ".tmp\n"
                                         "mv " + report.string() + ".tmp " + report.string() + "\n"
                                         "exit 21\n");
    std::optional<int> ended;
    auto launched = m_services.launchApplicationAtPath(program, {"--first", "two words"}, [&](int status) { ended = status; });
    ASSERT_TRUE(launched.has_value());
    std::istringstream fields(awaitFile(report));
    pid_t pid = 0, parent = 0, session = 0;
    std::string output, first, second;
    fields >> pid >> parent >> session >> output >> first >> second;
    ASSERT_GT(pid, 0);
    EXPECT_EQ(session, pid);
    EXPECT_EQ(parent, getpid());
    EXPECT_EQ(output, "/dev/null");
    EXPECT_EQ(first, "--first");
    EXPECT_EQ(second, "two") << "the second argument, one word to the script's echo";

    const gint64 deadline = g_get_monotonic_time() + 10 * G_USEC_PER_SEC;
    while (!ended && g_get_monotonic_time() < deadline)
        g_main_context_iteration(nullptr, TRUE);
    ASSERT_TRUE(ended.has_value());
    EXPECT_TRUE(WIFEXITED(*ended));
    EXPECT_EQ(WEXITSTATUS(*ended), 21);
    // Reaped by the watch; nothing is left for us to wait for.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(LinuxPaneServicesTest, WhatCannotRunIsNotLaunched)
{
    EXPECT_FALSE(m_services.launchApplicationAtPath((m_folder / "missing").string()).has_value());
    EXPECT_FALSE(m_services.launchApplicationAtPath(script("plain", "touch " + (m_folder / "ran").string() + "\n", false)).has_value());
    EXPECT_FALSE(m_services.launchApplicationAtPath(m_folder.path().string()).has_value());
    EXPECT_FALSE(m_services.launchApplicationAtPath("").has_value());
    g_usleep(200000);
    EXPECT_FALSE(std::filesystem::exists(m_folder / "ran"));
}

TEST_F(LinuxPaneServicesTest, TheAccessibilityPanelOfTheCurrentDesktopOpens)
{
    const auto record = [&](const std::string& name) {
        // Only shell built-ins: PATH holds nothing but these scripts.
        return script(name, "echo \"${0##*/} $*\" > " + (m_folder / (name + ".args")).string() + "\n");
    };
    record("gnome-control-center");
    record("mate-at-properties");
    ScopedVariable path("PATH", m_folder.path().c_str());
    {
        ScopedVariable desktop("XDG_CURRENT_DESKTOP", "MATE");
        ASSERT_TRUE(m_services.openAccessibilitySettings());
        EXPECT_EQ(awaitFile(m_folder / "mate-at-properties.args"), "mate-at-properties \n");
    }
    {
        // A desktop with no panel of its own: the first one installed.
        ScopedVariable desktop("XDG_CURRENT_DESKTOP", "LXQt");
        ASSERT_TRUE(m_services.openAccessibilitySettings());
        EXPECT_EQ(awaitFile(m_folder / "gnome-control-center.args"), "gnome-control-center universal-access\n");
    }
    std::filesystem::remove(m_folder / "gnome-control-center");
    std::filesystem::remove(m_folder / "mate-at-properties");
    EXPECT_FALSE(LinuxPaneServices::accessibilitySettingsCommand());
    EXPECT_FALSE(m_services.openAccessibilitySettings());
}

TEST_F(LinuxPaneServicesTest, TheToolkitVersionIsTheInstalledGtks)
{
    // GTK's own answer, from another process through its introspection data.
    FILE* pipe = popen("/usr/bin/python3 -c \"import gi; gi.require_version('Gtk', '3.0'); from gi.repository import Gtk; "
                       "print(Gtk.get_major_version() * 100 + Gtk.get_minor_version())\" 2>/dev/null", "r");
    ASSERT_TRUE(pipe);
    int expected = 0;
    const int read = std::fscanf(pipe, "%d", &expected);
    pclose(pipe);
    ASSERT_EQ(read, 1) << "GTK 3 and its introspection data are needed here";
    EXPECT_EQ(m_services.toolkitVersionNumber(), expected);

    LinuxPaneServices none({"libvelmora-no-toolkit.so.0"});
    EXPECT_EQ(none.toolkitVersionNumber(), 0);
}

TEST_F(LinuxPaneServicesTest, SnapBackIsGreyedOnWaylandUnlessTheCompositorTellsWhereThePointerIs)
{
    ScopedVariable noWayland("WAYLAND_DISPLAY", nullptr);
    {
        ScopedVariable x11("XDG_SESSION_TYPE", "x11");
        EXPECT_EQ(m_services.snapBackUnavailableReason(), "");
    }
    ScopedVariable wayland("XDG_SESSION_TYPE", "wayland");
    EXPECT_NE(m_services.snapBackUnavailableReason(), "");

    bool readable = false;
    int asked = 0;
    EXPECT_EQ(m_services.pointerMoveRefusalReason("/opt/agent"), "");
    m_services.setWaylandPointerReading({[&] { ++asked; return readable; }, "Enable the extension.",
                                         [](const std::string& agent) { return agent + " is refused"; }});
    EXPECT_EQ(m_services.pointerMoveRefusalReason("/opt/agent"), "/opt/agent is refused");
    const std::string reason = m_services.snapBackUnavailableReason();
    EXPECT_NE(reason.find("cannot tell"), std::string::npos) << reason;
    EXPECT_NE(reason.find("Enable the extension."), std::string::npos) << reason;
    // Asked each time: the extension may be enabled while the window is open.
    readable = true;
    EXPECT_EQ(m_services.snapBackUnavailableReason(), "");
    EXPECT_EQ(asked, 2);
}

} // namespace
} // namespace velmora::linux_desktop::testing
