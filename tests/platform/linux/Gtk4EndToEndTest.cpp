// The agent's engine with GTK 4 dialogs on the private desktop: GTK's own
// message dialog, a dialog with a default response (with its answers at the
// bottom, and in a header bar), and a libadwaita editor's unsaved-changes
// dialog. Where the pointer landed is told by the dialog itself (the button
// the pointer entered) or by what the click there did, besides the spot read
// from AT-SPI and the X server by a probe of the tests' own.

#include "platform/linux/AgentOnDesktop.h"
#include "platform/linux/XTestPointer.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

namespace velmora::linux_desktop::testing {
namespace {

namespace fs = std::filesystem;

class Gtk4EndToEndTest : public ApplicationOnDesktopTest {
protected:
    // Its output kept in a file.
    Program& start(const std::string& command)
    {
        m_output = m_home / "output.txt";
        std::string line = "exec";
        for (const std::string& word : privateEnvironment())
            line += " " + word;
        line += " " + command + " >" + m_output.string() + " 2>/dev/null";
        m_app = std::make_unique<Program>(std::vector<std::string>{"sh", "-c", line});
        return *m_app;
    }

    // Where the pointer belongs on the button showing `label` of the
    // application's active dialog, from the probe's reading of GTK 4's
    // geometry (up to kAppSeconds).
    static std::optional<Spot> gtk4Spot(pid_t pid, const std::string& label)
    {
        return expectedButtonSpot(pid, label, DESKTOP_TESTS_DIR "/gtk4-button-spot.py", kAppSeconds);
    }

    // The buttons the dialog reported the pointer entering, in order.
    std::vector<std::string> entered() const
    {
        std::vector<std::string> labels;
        std::istringstream lines(contentsOf(m_output));
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("entered ", 0) == 0)
                labels.push_back(line.substr(8));
        }
        return labels;
    }

    fs::path m_output;
};

// A dialog of tests/platform/linux/gtk4-dialog.py, the preference, and the
// button the pointer must land on.
struct Gtk4Dialog {
    const char* name;
    const char* kind;
    bool alternate;
    const char* label;
    friend std::ostream& operator<<(std::ostream& out, const Gtk4Dialog& dialog) { return out << dialog.name; }
};

class Gtk4DialogEndToEndTest : public Gtk4EndToEndTest, public ::testing::WithParamInterface<Gtk4Dialog> {};

TEST_P(Gtk4DialogEndToEndTest, ThePointerLandsOnTheButtonThatAnswers)
{
    setPreference(VelmoraPreferences::kSnapToAlternateButtonInstead, GetParam().alternate);
    startAgent();
    Program& app = start(std::string("/usr/bin/python3 " DESKTOP_TESTS_DIR "/gtk4-dialog.py ") + GetParam().kind);
    auto spot = gtk4Spot(app.pid(), GetParam().label);
    ASSERT_TRUE(spot) << "no active GTK 4 dialog with a button " << GetParam().label;
    EXPECT_TRUE(pointerReaches(*spot));
    // The dialog's word: the pointer went onto that button, and only that one.
    ASSERT_TRUE(pumpUntil([&] { return !entered().empty(); }, 5)) << "the dialog saw the pointer enter none of its buttons";
    EXPECT_EQ(entered(), std::vector<std::string>{GetParam().label});
}

INSTANTIATE_TEST_SUITE_P(Gtk4, Gtk4DialogEndToEndTest,
    ::testing::Values(Gtk4Dialog{"MessageDialogOk", "message", false, "OK"},
        Gtk4Dialog{"MessageDialogCancel", "message", true, "Cancel"},
        Gtk4Dialog{"DefaultResponseSave", "response", false, "Save"},
        Gtk4Dialog{"DefaultResponseCancel", "response", true, "Cancel"},
        Gtk4Dialog{"HeaderBarDefaultResponseSave", "headerbar", false, "Save"}),
    [](const ::testing::TestParamInfo<Gtk4Dialog>& info) { return std::string(info.param.name); });

// The agent program started while a GTK 4 dialog is already active, so it
// has heard no activation: GTK 4 keeps ACTIVE out of its windows' state
// sets, and the window manager tells which window is active.
TEST_F(Gtk4EndToEndTest, ADialogAlreadyOpenWhenTheAgentProgramStartsSnaps)
{
    Program& app = start("/usr/bin/python3 " DESKTOP_TESTS_DIR "/gtk4-dialog.py response");
    auto spot = gtk4Spot(app.pid(), "Save");
    ASSERT_TRUE(spot) << "no active GTK 4 dialog with a button Save";
    pumpFor(0.3);
    restPointer(kStartPoint);
    Program agent({VELMORA_AGENT_PATH});
    EXPECT_TRUE(pointerReaches(*spot, kAppSeconds));
    ASSERT_TRUE(pumpUntil([&] { return !entered().empty(); }, 5)) << "the dialog saw the pointer enter none of its buttons";
    EXPECT_EQ(entered(), std::vector<std::string>{"Save"});
}

// gnome-text-editor (libadwaita) closed with changes: its main window leaves
// the pointer alone, its "Save Changes?" dialog is snapped to Save, and a
// click there saves the document and quits; the pointer goes back.
TEST_F(Gtk4EndToEndTest, LibadwaitaEditorQuitDialogSnapsToSaveAndTheClickSaves)
{
    setPreference(VelmoraPreferences::kSnapbackCursor, true);
    startAgent();
    const fs::path file = document();
    Program& app = start("gnome-text-editor --standalone " + file.string());
    editAndClose(app.pid(), XK_q);
    if (HasFatalFailure())
        return;
    auto save = gtk4Spot(app.pid(), "Save");
    ASSERT_TRUE(save) << "no active dialog with a Save button";
    ASSERT_TRUE(pointerReaches(*save)) << "the dialog was not snapped to";
    pumpFor(0.2);
    clickPointer(m_display);
    EXPECT_TRUE(app.waitForExit(kAppSeconds)) << "the editor did not quit when answered";
    EXPECT_NE(contentsOf(file).find("typed here"), std::string::npos) << "the click did not answer save: " << contentsOf(file);
    EXPECT_TRUE(pointerReaches(kStart, 2)) << "the pointer did not go back";
}

} // namespace
} // namespace velmora::linux_desktop::testing
