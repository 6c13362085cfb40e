#pragma once

// What the agent's tests on the private Wayland desktops (GNOME, KDE) share;
// each desktop adds only its own: the line that names it, and how it tells
// and moves the pointer.

#include "tests/platform/wayland/AgentProcess.h"
#include "tests/platform/wayland/EnterDialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace velmora::wayland::testing {

namespace fs = std::filesystem;

using linux_desktop::testing::TemporaryFolder;

// Set by run-gnome-wayland-tests.sh and run-kde-wayland-tests.sh.
inline const char* compositorControl() { return std::getenv("VELMORA_TEST_COMPOSITOR_CTL"); }
inline constexpr const char* kNoPrivateDesktop = "no private Wayland desktop: run through run-*-wayland-tests.sh";

// Starts, kills or restarts the private desktop's compositor; the script's exit status.
inline int compositorCtl(const char* verb)
{
    const char* ctl = compositorControl();
    return ctl ? std::system((std::string(ctl) + " " + verb).c_str()) : -1;
}

// The agent named its desktop with `line`, and has looked at the
// applications already running, so that a new one counts.
inline ::testing::AssertionResult saidItsDesktop(const AgentProcess& agent, const std::string& line)
{
    if (!pumpUntil([&] { return agent.log().find("Desktop: ") != std::string::npos; }, 10000))
        return ::testing::AssertionFailure() << "the agent named no desktop\n" << agent.log();
    pumpFor(500);
    if (agent.log().find(line) == std::string::npos)
        return ::testing::AssertionFailure() << "no '" << line << "' in\n" << agent.log();
    return ::testing::AssertionSuccess();
}

// The dialog becomes active and sees the pointer come to rest on Save at the
// agent's spot, 15 px in from its right edge and vertically centred, and
// never on Cancel. enter-dialog.py (GTK 3) tells the pointer within the
// button, the GTK 4 and Qt dialogs within their window.
inline void expectRestsOnSave(EnterDialog& dialog, const AgentProcess& agent, bool toldInWindow = false)
{
    ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
    const auto save = dialog.accessibleButton("Save");
    ASSERT_TRUE(save);
    const int originX = toldInWindow ? save->x : 0, originY = toldInWindow ? save->y : 0;
    dialog.expectRestsAt("Save", originX + save->width - 15, originY + save->height / 2, agent.log());
    EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
}

// Through the command, as the settings window stores it.
inline void setSnapBack(bool on)
{
    const std::string command = std::string("timeout 10 ") + VELMORA_COMMAND_PATH + " set QK.velmora.snapbackCursor "
                                + (on ? "true" : "false") + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

struct ScreenPoint {
    double x{0}, y{0};
};

// How a desktop tells where the pointer is (what the user sees, whoever moved
// it) and moves it as the user would; `askGapMs` spaces questions that cost
// the compositor work.
struct PointerProbe {
    std::function<std::optional<ScreenPoint>()> where;
    std::function<void(ScreenPoint)> moveTo;
    int askGapMs{0};

    bool restsAt(ScreenPoint point, int timeoutMs) const
    {
        return pumpUntil([&] {
            const auto now = where();
            if (now && std::abs(now->x - point.x) <= 1 && std::abs(now->y - point.y) <= 1)
                return true;
            pumpFor(askGapMs);
            return false;
        }, timeoutMs);
    }
    std::string told() const
    {
        const auto now = where();
        return now ? "the pointer is at " + std::to_string(now->x) + ", " + std::to_string(now->y) : "no pointer told";
    }
};

// An answered dialog gives the pointer back, unless the user took it
// elsewhere first. Snap back is on while it runs.
inline void expectSnapBackUnlessMoved(const AgentProcess& agent, const PointerProbe& pointer)
{
    setSnapBack(true);
    // What the focus goes back to once a dialog is answered, as in an
    // application; with nothing to snap to, it leaves the pointer alone.
    EnterDialog behind("Behind", DIALOG_SCRIPT, "window");
    ASSERT_TRUE(behind.waitForActive());
    const ScreenPoint parked{40, 700};
    pointer.moveTo(parked);
    ASSERT_TRUE(pointer.restsAt(parked, 2000)) << pointer.told();

    std::optional<EnterDialog> dialog(std::in_place, "Answered");
    expectRestsOnSave(*dialog, agent);
    dialog.reset(); // answered: it goes
    EXPECT_TRUE(pointer.restsAt(parked, 5000)) << pointer.told() << "\n" << agent.log();

    dialog.emplace("Moved away");
    expectRestsOnSave(*dialog, agent);
    const ScreenPoint elsewhere{900, 100};
    pointer.moveTo(elsewhere);
    pumpFor(300);
    dialog.reset();
    pumpFor(1500);
    EXPECT_TRUE(pointer.restsAt(elsewhere, 0)) << pointer.told() << "\n" << agent.log();
    EXPECT_TRUE(agent.running());
    setSnapBack(false);
}

struct Toolkit {
    const char* name;
    const char* script;
    const char* kind; // the script's second argument
    // Qt: the platform it must run on (Debian's Qt takes Wayland when its
    // plugin is installed, X11 when XWayland is about and it is asked to).
    const char* qtPlatform{nullptr};
};

inline std::string toolkitName(const ::testing::TestParamInfo<Toolkit>& info) { return info.param.name; }

// Dialogs of each toolkit in turn, answered by one agent for the suite.
class DialogsOfEveryToolkitTest : public ::testing::TestWithParam<Toolkit> {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_LE(atspi_init(), 1);
        s_dir = new TemporaryFolder;
        s_agent = new AgentProcess(*s_dir / "agent.log");
    }
    static void TearDownTestSuite()
    {
        delete s_agent;
        s_agent = nullptr;
        delete s_dir;
        s_dir = nullptr;
    }

    // The row's dialog sees the pointer rest on its Save button at the agent's spot.
    void expectTheDefaultButtonSnapped(const std::string& desktopLine)
    {
        if (!compositorControl())
            GTEST_FAIL() << kNoPrivateDesktop;
        ASSERT_TRUE(saidItsDesktop(*s_agent, desktopLine));
        EXPECT_EQ(s_agent->log().find("does not let Velmora move the pointer"), std::string::npos) << s_agent->log();
        const Toolkit& toolkit = GetParam();
        std::optional<ScopedVariable> platform;
        if (toolkit.qtPlatform)
            platform.emplace("QT_QPA_PLATFORM", toolkit.qtPlatform);
        EnterDialog dialog(std::string("Save changes? (") + toolkit.name + ")", toolkit.script, toolkit.kind);
        ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save);
        if (toolkit.qtPlatform) {
            ASSERT_TRUE(dialog.has(std::string("platform ") + toolkit.qtPlatform)) << "Qt chose another platform";
            // Qt tells AT-SPI the button it draws, counted from the same
            // corner (GTK 4 tells its content box, without the padding).
            const auto drawn = dialog.waitForLine("button Save ", 0);
            ASSERT_TRUE(drawn);
            EXPECT_EQ(*drawn, "button Save " + std::to_string(save->x) + " " + std::to_string(save->y) + " "
                                  + std::to_string(save->width) + " " + std::to_string(save->height));
        }
        expectRestsOnSave(dialog, *s_agent, toolkit.kind != nullptr);
    }

    static inline TemporaryFolder* s_dir{nullptr};
    static inline AgentProcess* s_agent{nullptr};
};

} // namespace velmora::wayland::testing
