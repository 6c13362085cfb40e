// The agent on headless GNOME Shell running Velmora's extension: it takes the
// extension, puts the pointer on a dialog's button, puts it back when the
// dialog is answered (not when the user moved it meanwhile), and keeps
// snapping through mutter while the extension is disabled, then through the
// extension again once it is back.

#include "platform/gnome/ShellExtensionPointer.h"
#include "tests/platform/gnome/AgentProcess.h"
#include "tests/platform/gnome/EnterDialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace velmora::gnome::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUuid = "velmora@brightfen.com";

struct Point {
    double x{0}, y{0};
};

GVariant* callOnSession(const char* name, const char* path, const char* interface, const char* method,
                        GVariant* parameters, const char* replyType)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name, path, interface, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    if (!reply) {
        ADD_FAILURE() << interface << "." << method << ": " << error->message;
        g_error_free(error);
    }
    g_object_unref(bus);
    return reply;
}

GVariant* callShellPointer(const char* method, GVariant* parameters, const char* replyType)
{
    return callOnSession(ShellExtensionPointer::kBusName, ShellExtensionPointer::kObjectPath,
                         ShellExtensionPointer::kInterface, method, parameters, replyType);
}

// Where the shell says the pointer is: what the user sees, whoever moved it.
std::optional<Point> pointerNow()
{
    GVariant* reply = callShellPointer("Pointer", nullptr, "(ddb)");
    if (!reply)
        return std::nullopt;
    Point point;
    gboolean down = FALSE;
    g_variant_get(reply, "(ddb)", &point.x, &point.y, &down);
    g_variant_unref(reply);
    return point;
}

// As the user would: the agent cannot tell this from a hand on the mouse.
void movePointerTo(Point point)
{
    if (GVariant* reply = callShellPointer("MoveTo", g_variant_new("(dd)", point.x, point.y), nullptr))
        g_variant_unref(reply);
}

bool pointerRestsAt(Point point, int timeoutMs)
{
    return pumpUntil([&] {
        auto now = pointerNow();
        return now && std::abs(now->x - point.x) <= 1 && std::abs(now->y - point.y) <= 1;
    }, timeoutMs);
}

bool setExtensionEnabled(bool enabled)
{
    GVariant* reply = callOnSession("org.gnome.Shell", "/org/gnome/Shell",
                                    "org.gnome.Shell.Extensions", enabled ? "EnableExtension" : "DisableExtension",
                                    g_variant_new("(s)", kUuid), "(b)");
    gboolean done = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &done);
        g_variant_unref(reply);
    }
    return done;
}

bool extensionOnBus()
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    const bool present = ShellExtensionPointer::available(bus);
    g_object_unref(bus);
    return present;
}

class ShellExtensionOnGnomeWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!underGnomeShell())
            GTEST_SKIP() << "needs GNOME Shell with the extension (VELMORA_TEST_COMPOSITOR=gnome-shell)";
        ASSERT_LE(atspi_init(), 1);
        ASSERT_TRUE(extensionOnBus()) << "the harness did not enable the extension";
        char pattern[] = "/tmp/velmora-gnome-shell.XXXXXX";
        m_dir = mkdtemp(pattern);
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            fs::remove_all(m_dir);
    }

    static void setSnapBack(bool on)
    {
        const std::string command = std::string(VELMORA_COMMAND_PATH) + " set QK.velmora.snapbackCursor "
                                    + (on ? "true" : "false") + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    void startAgent()
    {
        m_agent.emplace(m_dir / "agent.log");
        ASSERT_TRUE(pumpUntil([&] { return m_agent->log().find("Desktop: ") != std::string::npos; }, 10000));
        ASSERT_NE(m_agent->log().find(expectedDesktopLine()), std::string::npos) << m_agent->log();
        // The agent looks at the applications already running before a new one counts.
        pumpFor(500);
    }

    void expectRestsOnSave(EnterDialog& dialog)
    {
        ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save);
        dialog.expectRestsAt("Save", save->width - 15, save->height / 2, m_agent->log());
    }

    fs::path m_dir;
    std::optional<AgentProcess> m_agent;
};

TEST_F(ShellExtensionOnGnomeWaylandTest, AnAnsweredDialogGivesThePointerBackUnlessTheUserMovedIt)
{
    setSnapBack(true);
    startAgent();

    // What the focus goes back to once a dialog is answered, as in an
    // application; with nothing to snap to, it leaves the pointer alone.
    EnterDialog behind("Behind", DIALOG_SCRIPT, "window");
    ASSERT_TRUE(behind.waitForActive());
    const Point parked{40, 700};
    movePointerTo(parked);
    std::optional<EnterDialog> dialog(std::in_place, "Answered");
    expectRestsOnSave(*dialog);
    const auto onSave = pointerNow();
    ASSERT_TRUE(onSave);
    dialog.reset(); // answered: it goes
    EXPECT_TRUE(pointerRestsAt(parked, 5000)) << "the pointer stayed at " << pointerNow()->x << ", "
                                              << pointerNow()->y << "\n" << m_agent->log();

    // The user took the pointer elsewhere before answering: it stays there.
    dialog.emplace("Moved away");
    expectRestsOnSave(*dialog);
    const Point elsewhere{900, 100};
    movePointerTo(elsewhere);
    pumpFor(300);
    dialog.reset();
    pumpFor(1500);
    EXPECT_TRUE(pointerRestsAt(elsewhere, 0)) << m_agent->log();
    setSnapBack(false);
}

TEST_F(ShellExtensionOnGnomeWaylandTest, WhileTheExtensionIsDisabledMutterMovesThePointerUntilItIsBack)
{
    startAgent();
    ASSERT_TRUE(setExtensionEnabled(false));
    ASSERT_TRUE(pumpUntil([] { return !extensionOnBus(); }, 5000));
    EXPECT_TRUE(pumpUntil([&] { return m_agent->log().find("extension left the session bus") != std::string::npos; },
                          2000)) << m_agent->log();
    {
        EnterDialog dialog("Through mutter");
        expectRestsOnSave(dialog);
    }

    ASSERT_TRUE(setExtensionEnabled(true));
    ASSERT_TRUE(pumpUntil(extensionOnBus, 5000));
    EXPECT_TRUE(pumpUntil([&] { return m_agent->log().find("extension is on the session bus: the pointer is moved")
                                       != std::string::npos; }, 2000)) << m_agent->log();
    EnterDialog dialog("Through the extension");
    expectRestsOnSave(dialog);
    // Placed by the shell, the pointer is where the dialog saw it.
    const auto save = dialog.accessibleButton("Save");
    ASSERT_TRUE(save);
    EXPECT_TRUE(m_agent->running());
}

} // namespace
} // namespace velmora::gnome::testing
