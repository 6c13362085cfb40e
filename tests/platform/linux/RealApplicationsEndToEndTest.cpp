// The agent's engine with real applications from Debian, as a person uses
// them: a GTK 3 and a Qt 5 editor whose main windows carry hidden buttons,
// their unsaved-changes dialogs answered with a click where the pointer was
// snapped to, the application quitting with its answer; and a GTK 3 program
// that hands the focus straight back to its main window when answered.

#include "platform/linux/AgentOnDesktop.h"
#include "platform/linux/XTestPointer.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

// How soon after the click that answers a dialog the pointer is back.
constexpr double kSnapBackSeconds = 0.5;

class RealApplicationsEndToEndTest : public ApplicationOnDesktopTest {
protected:
    void SetUp() override
    {
        ApplicationOnDesktopTest::SetUp();
        if (HasFatalFailure())
            return;
        setPreference(VelmoraPreferences::kSnapbackCursor, true);
    }

    // The dialog now active is snapped to its button `label`; a click there
    // answers it, and the pointer is back at its start in time.
    void expectSnapAndSnapBackOnClick(pid_t pid, const std::string& label)
    {
        ASSERT_TRUE(windowActive(pid, "dialog alert", kAppSeconds)) << "no dialog became active";
        auto button = expectedButtonSpot(pid, label);
        ASSERT_TRUE(button) << "no button " << label << " in the active dialog";
        ASSERT_TRUE(pointerReaches(*button)) << "the dialog was not snapped to";
        pumpFor(0.2); // resting there a moment, as a hand would before it clicks

        clickPointer(m_display);
        const gint64 clicked = g_get_monotonic_time();
        double backAfter = -1;
        pumpUntil([&] {
            Spot p = pointerSpot();
            if (backAfter < 0 && p.x == kStart.x && p.y == kStart.y)
                backAfter = static_cast<double>(g_get_monotonic_time() - clicked) / G_USEC_PER_SEC;
            return false;
        }, kSnapBackSeconds);
        Spot p = pointerSpot();
        std::printf("%s: pointer first back at the start after %.3f s (-1: never); %.1f s after the click it rests at %d, %d\n",
            label.c_str(), backAfter, kSnapBackSeconds, p.x, p.y);
        EXPECT_TRUE(p.x == kStart.x && p.y == kStart.y) << "the pointer rests at " << p.x << ", " << p.y << " " << kSnapBackSeconds
                                                        << " s after the click, not back at " << kStart.x << ", " << kStart.y;
        // Nothing that follows the answer (the focus coming back to a main
        // window) takes it away again.
        pumpFor(1.0);
        Spot later = pointerSpot();
        EXPECT_TRUE(later.x == p.x && later.y == p.y) << "the pointer moved on to " << later.x << ", " << later.y << " after its return";
    }

    // An editor opens the document, is typed into and closed unsaved; the
    // default answer of its dialog, clicked, saves and quits.
    void editCloseAndAnswer(const std::string& editor, const std::string& saveLabel)
    {
        startAgent();
        const fs::path file = document();
        Program& app = start({editor, file.string()});
        editAndClose(app.pid(), XK_q);
        if (HasFatalFailure())
            return;
        expectSnapAndSnapBackOnClick(app.pid(), saveLabel);
        if (HasFatalFailure())
            return;
        EXPECT_TRUE(app.waitForExit(kAppSeconds)) << editor << " did not quit when answered";
        EXPECT_NE(contentsOf(file).find("typed here"), std::string::npos) << "the click did not answer save: " << contentsOf(file);
    }
};

TEST_F(RealApplicationsEndToEndTest, Gtk3EditorMainWindowIsLeftAloneAndItsQuitDialogSnapsBack)
{
    editCloseAndAnswer("mousepad", "Save");
}

// Qt's bridge to AT-SPI follows the session's accessibility switch, which
// run-desktop-tests.sh turns on.
TEST_F(RealApplicationsEndToEndTest, Qt5EditorMainWindowIsLeftAloneAndItsQuitDialogSnapsBack)
{
    editCloseAndAnswer("featherpad", "Save");
}

// One of two documents closed: the editor stays, its main window takes the
// focus back from the answered dialog.
TEST_F(RealApplicationsEndToEndTest, Gtk3EditorClosingOneOfTwoDocumentsSnapsBack)
{
    startAgent();
    const fs::path kept = m_home / "kept.txt";
    std::ofstream(kept) << "kept\n";
    const fs::path file = document();
    Program& app = start({"mousepad", kept.string(), file.string()});
    editAndClose(app.pid(), XK_w);
    if (HasFatalFailure())
        return;
    expectSnapAndSnapBackOnClick(app.pid(), "Save");
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(windowActive(app.pid(), "frame", kAppSeconds)) << "the main window did not take the focus back";
    EXPECT_NE(contentsOf(file).find("typed here"), std::string::npos) << "the click did not answer save: " << contentsOf(file);
}

// The focus moving on to the main window as the dialog goes: in the same
// turn of the program's main loop, or a few milliseconds later; the main
// window with nothing but a never-shown "Close" button, as real editors'
// main windows, or with no button at all.
struct FocusMove {
    const char* name;
    std::vector<std::string> options;
    friend std::ostream& operator<<(std::ostream& out, const FocusMove& move) { return out << move.name; }
};

class FocusMoveEndToEndTest : public RealApplicationsEndToEndTest, public ::testing::WithParamInterface<FocusMove> {};

TEST_P(FocusMoveEndToEndTest, AnsweredDialogWhoseMainWindowTakesTheFocusRightAfterSnapsBack)
{
    startAgent();
    std::vector<std::string> argv{DESKTOP_TESTS_DIR "/answer-then-main-window.py"};
    argv.insert(argv.end(), GetParam().options.begin(), GetParam().options.end());
    Program& app = start(argv);
    expectMainWindowLeavesPointerAlone(app.pid());
    if (HasFatalFailure())
        return;
    app.signal(SIGUSR1);
    expectSnapAndSnapBackOnClick(app.pid(), "Go On");
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(windowActive(app.pid(), "frame", kAppSeconds)) << "the main window did not take the focus back";
}

INSTANTIATE_TEST_SUITE_P(RealApplications, FocusMoveEndToEndTest,
    ::testing::Values(FocusMove{"HiddenCloseSameTurn", {"--hidden-close"}},
        FocusMove{"HiddenCloseFiveMsLater", {"--hidden-close", "--present-after-ms", "5"}},
        FocusMove{"NoButtonSameTurn", {}}),
    [](const ::testing::TestParamInfo<FocusMove>& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora::linux_desktop::testing
