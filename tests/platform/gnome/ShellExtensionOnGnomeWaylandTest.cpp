// The agent on headless GNOME Shell running Velmora's extension: it takes the
// extension, puts the pointer on a dialog's button, puts it back when the
// dialog is answered (not when the user moved it meanwhile), and keeps
// snapping through mutter while the extension is disabled, then through the
// extension again once it is back.

#include "platform/gnome/ShellExtensionPointer.h"
#include "tests/platform/gnome/GnomeSession.h"
#include "tests/platform/wayland/WaylandAgentTest.h"

namespace velmora::wayland::testing {
namespace {

using gnome::ShellExtensionPointer;

constexpr const char* kUuid = "velmora@brightfen.com";

GVariant* callOnSession(const char* name, const char* path, const char* interface, const char* method,
                        GVariant* parameters, const char* replyType)
{
    auto bus = Ref<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus.get(), name, path, interface, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    if (!reply) {
        ADD_FAILURE() << interface << "." << method << ": " << error->message;
        g_error_free(error);
    }
    return reply;
}

GVariant* callShellPointer(const char* method, GVariant* parameters, const char* replyType)
{
    return callOnSession(ShellExtensionPointer::kBusName, ShellExtensionPointer::kObjectPath,
                         ShellExtensionPointer::kInterface, method, parameters, replyType);
}

// The shell tells where the pointer is and moves it as a hand on the mouse would.
const PointerProbe kShellPointer{
    [] {
        std::optional<ScreenPoint> point;
        if (GVariant* reply = callShellPointer("Pointer", nullptr, "(ddb)")) {
            gboolean down = FALSE;
            point.emplace();
            g_variant_get(reply, "(ddb)", &point->x, &point->y, &down);
            g_variant_unref(reply);
        }
        return point;
    },
    [](ScreenPoint point) {
        if (GVariant* reply = callShellPointer("MoveTo", g_variant_new("(dd)", point.x, point.y), nullptr))
            g_variant_unref(reply);
    }};

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
    auto bus = Ref<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    return ShellExtensionPointer::available(bus.get());
}

class ShellExtensionOnGnomeWaylandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!underGnomeShell())
            GTEST_SKIP() << "needs GNOME Shell with the extension (VELMORA_TEST_COMPOSITOR=gnome-shell)";
        ASSERT_LE(atspi_init(), 1);
        ASSERT_TRUE(extensionOnBus()) << "the harness did not enable the extension";
        m_agent.emplace(m_dir / "agent.log");
        ASSERT_TRUE(saidItsDesktop(*m_agent, gnomeDesktopLine()));
    }

    TemporaryFolder m_dir;
    std::optional<AgentProcess> m_agent;
};

TEST_F(ShellExtensionOnGnomeWaylandTest, AnAnsweredDialogGivesThePointerBackUnlessTheUserMovedIt)
{
    expectSnapBackUnlessMoved(*m_agent, kShellPointer);
}

TEST_F(ShellExtensionOnGnomeWaylandTest, WhileTheExtensionIsDisabledMutterMovesThePointerUntilItIsBack)
{
    ASSERT_TRUE(setExtensionEnabled(false));
    ASSERT_TRUE(pumpUntil([] { return !extensionOnBus(); }, 5000));
    EXPECT_TRUE(pumpUntil([&] { return m_agent->log().find("extension left the session bus") != std::string::npos; },
                          2000)) << m_agent->log();
    {
        EnterDialog dialog("Through mutter");
        expectRestsOnSave(dialog, *m_agent);
    }

    ASSERT_TRUE(setExtensionEnabled(true));
    ASSERT_TRUE(pumpUntil(extensionOnBus, 5000));
    EXPECT_TRUE(pumpUntil([&] { return m_agent->log().find("extension is on the session bus: the pointer is moved")
                                       != std::string::npos; }, 2000)) << m_agent->log();
    EnterDialog dialog("Through the extension");
    expectRestsOnSave(dialog, *m_agent);
    EXPECT_TRUE(m_agent->running());
}

} // namespace
} // namespace velmora::wayland::testing
