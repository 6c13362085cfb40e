#pragma once

// The agent's engine run inside the test process on the private desktop, as
// its start-up builds it, with settings of a folder of the suite's own: what
// the end-to-end tests of the engine share.

#include "agent/snapping/AppTracker.h"
#include "agent/snapping/FeedbackSound.h"
#include "agent/snapping/SnapBackCoordinator.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/InstalledPrograms.h"
#include "platform/linux/LinuxDesktop.h"
#include "platform/linux/XTestPointer.h"
#include "shared/preferences/PlistSettingsFile.h"
#include "shared/preferences/VelmoraPreferences.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop::testing {

class AgentOnDesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_prefs = new TemporaryFolder;
        LinuxDesktop::Options options;
        options.resourcesDirectory = VELMORA_SOURCE_RESOURCES;
        s_desktop = LinuxDesktop::create(std::make_unique<PlistSettingsFile>(s_prefs->path().string()), options).release();
    }
    static void TearDownTestSuite()
    {
        delete s_desktop;
        s_desktop = nullptr;
        delete s_prefs;
    }

    void SetUp() override
    {
        if (!s_desktop)
            GTEST_FAIL() << "no real desktop: run through run-desktop-tests.sh";
        m_scoped = std::make_unique<ScopedPlatform>(*s_desktop);
        setPreference(VelmoraPreferences::kSnapbackCursor, false);
        setPreference(VelmoraPreferences::kSnapToAlternateButtonInstead, false);
        setPreference(VelmoraPreferences::kIgnoredApps, Value::Array{});
        restPointer({20, 20});
    }
    void TearDown() override
    {
        stopAgent();
        m_scoped.reset();
    }

    // What the agent's start-up builds, in its order.
    void startAgent()
    {
        m_tracker = std::make_unique<AppTracker>(*s_desktop);
        m_sound = std::make_unique<FeedbackSound>(*s_desktop);
        m_listener = std::make_unique<SnapBackCoordinator>(*s_desktop);
    }
    void stopAgent()
    {
        m_tracker.reset();
        m_sound.reset();
        m_listener.reset();
    }

    void setPreference(const std::string& key, Value value)
    {
        ProgramSettings& defaults = s_desktop->standardUserDefaults();
        defaults.setObject(key, std::move(value));
        defaults.synchronize();
    }

    void restPointer(Point point)
    {
        s_desktop->pointer().moveTo(point);
        pumpFor(0.05);
    }

    Point pointer() { return s_desktop->pointer().location(); }
    Spot pointerSpot()
    {
        Point p = pointer();
        return Spot{static_cast<int>(p.x), static_cast<int>(p.y)};
    }

    std::optional<Spot> expectedSpot(pid_t pid, const std::string& label) { return expectedButtonSpot(pid, label); }

    ::testing::AssertionResult pointerReaches(Spot spot, double seconds = 10)
    {
        return pointerReachesSpot([this] { return pointerSpot(); }, spot, seconds);
    }

    inline static LinuxDesktop* s_desktop = nullptr; // owned by the suite
    inline static TemporaryFolder* s_prefs = nullptr; // owned by the suite
    std::unique_ptr<ScopedPlatform> m_scoped;
    std::unique_ptr<AppTracker> m_tracker;
    std::unique_ptr<FeedbackSound> m_sound;
    std::unique_ptr<SnapBackCoordinator> m_listener;
};

// An agent on the desktop and one application at a time, started with a home
// and settings of its own: nothing restored from an earlier run, nothing
// saved for the next. The application is killed at the end, whatever happened.
class ApplicationOnDesktopTest : public AgentOnDesktopTest {
protected:
    // Where the pointer rests when a test begins.
    static constexpr Spot kStart{20, 20};
    static constexpr Point kStartPoint{20, 20};
    // Real applications start slowly on a busy machine.
    static constexpr double kAppSeconds = 20;

    void SetUp() override
    {
        AgentOnDesktopTest::SetUp();
        if (HasFatalFailure())
            return;
        m_display = XOpenDisplay(nullptr);
        ASSERT_TRUE(m_display);
    }
    void TearDown() override
    {
        m_app.reset();
        if (m_display)
            XCloseDisplay(m_display);
        AgentOnDesktopTest::TearDown();
    }

    // `env` and the private folders, to put before a command.
    std::vector<std::string> privateEnvironment() const
    {
        return {"env", "HOME=" + m_home.path().string(), "XDG_CONFIG_HOME=" + (m_home / "config").string(),
            "XDG_DATA_HOME=" + (m_home / "data").string(), "XDG_CACHE_HOME=" + (m_home / "cache").string()};
    }
    Program& start(const std::vector<std::string>& argv)
    {
        std::vector<std::string> command = privateEnvironment();
        command.insert(command.end(), argv.begin(), argv.end());
        m_app = std::make_unique<Program>(command);
        return *m_app;
    }

    // A document already on disk: closed with changes, its editor's default
    // answer (save) writes it in place, with no file chooser.
    std::filesystem::path document()
    {
        const auto path = m_home / "notes.txt";
        std::ofstream(path) << "first line\n";
        return path;
    }

    // The pointer stays put while the main window opens and takes the
    // focus: it has no button that answers anything.
    void expectMainWindowLeavesPointerAlone(pid_t pid)
    {
        ASSERT_TRUE(windowActive(pid, "frame", kAppSeconds)) << "the main window never became active";
        pumpFor(1.0);
        const Spot p = pointerSpot();
        EXPECT_TRUE(p.x == kStart.x && p.y == kStart.y) << "the main window's opening moved the pointer to " << p.x << ", " << p.y;
        // The dialog's part is judged on its own, from the same start.
        restPointer(kStartPoint);
    }
    // An editor's main window leaves the pointer alone; typed into, it is
    // closed with Control and `key`.
    void editAndClose(pid_t pid, KeySym key)
    {
        expectMainWindowLeavesPointerAlone(pid);
        if (::testing::Test::HasFatalFailure())
            return;
        typeText(m_display, "typed here ");
        pumpFor(0.5);
        pressKeys(m_display, {XK_Control_L}, key);
    }

    Display* m_display{nullptr}; // owned
    TemporaryFolder m_home;
    std::unique_ptr<Program> m_app;
};

} // namespace velmora::linux_desktop::testing
