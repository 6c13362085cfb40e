// The pointer moved through mutter on a private headless GNOME Wayland
// desktop (run-gnome-wayland-tests.sh): a real GTK 3 dialog says where the
// pointer entered its buttons.

#include "platform/gnome/MutterRemoteDesktopPointer.h"

#include "tests/platform/wayland/WaylandAgentTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora::gnome {
namespace {

using wayland::testing::Area;
using wayland::testing::compositorCtl;
using wayland::testing::EnterDialog;
using wayland::testing::enteredAt;
using wayland::testing::pumpFor;
using wayland::testing::pumpUntil;

class RecordingLog final : public SystemLog {
public:
    void log(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// Stands for the dialog's accessible window: the pointer only tells windows apart.
class WindowRef final : public AccessibleElementRef {
public:
    explicit WindowRef(int id) : m_id(id) { }
    bool isEqual(const AccessibleElementRef& other) const override
    {
        auto* window = dynamic_cast<const WindowRef*>(&other);
        return window && window->m_id == m_id;
    }
    size_t hash() const override { return static_cast<size_t>(m_id); }

private:
    int m_id;
};

AccessibleElement windowNumbered(int id)
{
    return AccessibleElement(std::make_shared<WindowRef>(id));
}

// The spot the agent aims at: 15 px in from the right edge, vertically centred.
WindowPoint snapSpot(const Area& button)
{
    return {static_cast<float>(button.x + button.width - 15), static_cast<float>(button.y) + button.height / 2.0f};
}

// A call to mutter's remote desktop (the interface `method` belongs to); its
// reply, or nothing, with the error as a test failure when `quiet` is not set.
GVariant* callMutter(GDBusConnection* bus, const char* path, const char* interface, const char* method, GVariant* parameters,
                     const char* reply, bool quiet = false)
{
    GError* error = nullptr;
    GVariant* answer = g_dbus_connection_call_sync(bus, "org.gnome.Mutter.RemoteDesktop", path, interface, method, parameters,
                                                   reply ? G_VARIANT_TYPE(reply) : nullptr, G_DBUS_CALL_FLAGS_NONE, 1000,
                                                   nullptr, &error);
    if (error) {
        if (!quiet)
            ADD_FAILURE() << method << ": " << error->message;
        g_error_free(error);
    }
    return answer;
}

// Whether mutter still has the remote-desktop session object at that path.
bool mutterHasSession(GDBusConnection* bus, const std::string& path)
{
    GVariant* reply = callMutter(bus, path.c_str(), "org.freedesktop.DBus.Properties", "Get",
                                 g_variant_new("(ss)", "org.gnome.Mutter.RemoteDesktop.Session", "SessionId"), "(v)", true);
    if (reply)
        g_variant_unref(reply);
    return reply != nullptr;
}

// How many remote-desktop sessions mutter has (the harness's keyboard keeps one).
int mutterSessionCount(GDBusConnection* bus)
{
    GVariant* reply = callMutter(bus, "/org/gnome/Mutter/RemoteDesktop/Session", "org.freedesktop.DBus.Introspectable",
                                 "Introspect", nullptr, "(s)", true);
    if (!reply)
        return -1;
    const char* xml = nullptr;
    g_variant_get(reply, "(&s)", &xml);
    int count = 0;
    for (const char* at = xml; (at = std::strstr(at, "<node name=")); ++at)
        ++count;
    g_variant_unref(reply);
    return count;
}

// A left click wherever the pointer is, from a remote-desktop session of the test's own.
void clickWhereThePointerIs(GDBusConnection* bus)
{
    constexpr guint32 kLeftButton = 272; // evdev BTN_LEFT
    GVariant* created = callMutter(bus, "/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop", "CreateSession",
                                   nullptr, "(o)");
    ASSERT_TRUE(created);
    const char* path = nullptr;
    g_variant_get(created, "(&o)", &path);
    const auto send = [&](const char* method, GVariant* parameters) {
        if (GVariant* answer = callMutter(bus, path, "org.gnome.Mutter.RemoteDesktop.Session", method, parameters, nullptr))
            g_variant_unref(answer);
    };
    send("Start", nullptr);
    pumpFor(100); // a new device's first events may go astray
    send("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, TRUE));
    send("NotifyPointerButton", g_variant_new("(ib)", kLeftButton, FALSE));
    send("Stop", nullptr);
    g_variant_unref(created);
}

class MutterRemoteDesktopPointerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!wayland::testing::compositorControl())
            GTEST_FAIL() << wayland::testing::kNoPrivateDesktop;
        m_bus = linux_desktop::GObjectRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
        ASSERT_TRUE(m_bus);
        ASSERT_LE(atspi_init(), 1);
    }

    // Moves the pointer to the default button's snap spot in an open dialog
    // as the agent would, at once when it has become active; expects it to
    // enter Save and to come to rest exactly on the spot.
    void expectSnapOntoSave(MutterRemoteDesktopPointer& pointer, EnterDialog& dialog, const AccessibleElement& window)
    {
        ASSERT_TRUE(dialog.waitForActive()) << "the dialog never became active";
        const auto save = dialog.accessibleButton("Save");
        ASSERT_TRUE(save) << "no Save button in the accessible tree";
        // What GTK lays out is what AT-SPI reports: window coordinates.
        EXPECT_TRUE(dialog.has("button Save " + std::to_string(save->x) + " " + std::to_string(save->y) + " " +
                               std::to_string(save->width) + " " + std::to_string(save->height)));

        const auto started = std::chrono::steady_clock::now();
        ASSERT_TRUE(pointer.moveToInWindow(window, snapSpot(*save)));
        const double moveMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(pointer.location(), (Point{snapSpot(*save).x, snapSpot(*save).y}));

        const auto entered = dialog.waitForLine("enter ", 3000);
        ASSERT_TRUE(entered) << "the pointer entered no button";
        EXPECT_EQ(entered->rfind("enter Save ", 0), 0u) << *entered;
        // The repeated moves are made by now; what the dialog says about the
        // last of them may still be on its way through a busy machine.
        pumpFor(MutterRemoteDesktopPointer::kSettleAgainMs + 100);
        const int spotX = save->width - 15;
        const int spotY = save->height / 2;
        dialog.waitToRestAt("Save", spotX, spotY, 1, 3000);
        const std::string last = dialog.lastOn("Save");
        std::printf("move %.1f ms (session %s), first %s, rests at %s\n", moveMs, pointer.sessionPath().c_str(),
                    entered->c_str(), last.c_str());
        const auto at = enteredAt(last);
        ASSERT_TRUE(at);
        EXPECT_EQ(at->first, spotX);
        EXPECT_NEAR(at->second, save->height / 2.0, 1.0);
        EXPECT_FALSE(dialog.waitForLine("enter Cancel", 0));
    }

    linux_desktop::GObjectRef<GDBusConnection> m_bus;
    RecordingLog m_log;
};

TEST_F(MutterRemoteDesktopPointerTest, PutsThePointerOnTheDefaultButtonAndClosesTheSessionWhenIdle)
{
    ASSERT_TRUE(MutterRemoteDesktopPointer::available(m_bus.get()));
    // Longer than a snap's check takes (kSettleAgainMs and a little more).
    constexpr int idleCloseMs = 1200;
    MutterRemoteDesktopPointer pointer(m_bus.get(), m_log, idleCloseMs);
    EXPECT_EQ(pointer.sessionPath(), "") << "a session before any move";
    // One is made ahead, not started, and the first move takes it.
    ASSERT_TRUE(pumpUntil([&] { return !pointer.preparedSessionPath().empty(); }, 1000));
    const std::string prepared = pointer.preparedSessionPath();

    EnterDialog dialog;
    expectSnapOntoSave(pointer, dialog, windowNumbered(1));
    const std::string session = pointer.sessionPath();
    ASSERT_NE(session, "");
    EXPECT_EQ(session, prepared);
    EXPECT_TRUE(mutterHasSession(m_bus.get(), session));
    EXPECT_TRUE(pumpUntil([&] { return !pointer.preparedSessionPath().empty(); }, 1000)) << "none made for the next window";
    EXPECT_NE(pointer.preparedSessionPath(), session);

    // Moves keep it open; idleness closes it, in mutter too (no indicator left).
    ASSERT_TRUE(pointer.moveToInWindow(windowNumbered(1), {10, 10}));
    pumpFor(idleCloseMs - 200);
    EXPECT_EQ(pointer.sessionPath(), session);
    EXPECT_TRUE(pumpUntil([&] { return pointer.sessionPath().empty(); }, 400));
    EXPECT_TRUE(pumpUntil([&] { return !mutterHasSession(m_bus.get(), session); }, 1000));
    EXPECT_TRUE(m_log.lines.empty()) << m_log.lines.front();
}

TEST_F(MutterRemoteDesktopPointerTest, AnotherWindowGetsASessionOfItsOwnThatEndsWithIt)
{
    MutterRemoteDesktopPointer pointer(m_bus.get(), m_log);
    EnterDialog first;
    expectSnapOntoSave(pointer, first, windowNumbered(1));
    const std::string firstSession = pointer.sessionPath();
    ASSERT_NE(firstSession, "");
    auto second = std::make_unique<EnterDialog>("Discard changes?");
    expectSnapOntoSave(pointer, *second, windowNumbered(2));
    const std::string secondSession = pointer.sessionPath();
    EXPECT_NE(secondSession, "");
    EXPECT_NE(secondSession, firstSession);
    EXPECT_TRUE(pumpUntil([&] { return !mutterHasSession(m_bus.get(), firstSession); }, 1000));

    // Its window gone, mutter ends the session recording it, and so does the pointer.
    second.reset();
    EXPECT_TRUE(pumpUntil([&] { return pointer.sessionPath().empty(); }, 2000)) << "the ended session is kept";
    EXPECT_FALSE(mutterHasSession(m_bus.get(), secondSession));
    EXPECT_TRUE(m_log.lines.empty()) << m_log.lines.front();
}

TEST_F(MutterRemoteDesktopPointerTest, ScreenMovesAreLeftUndoneWithOneLine)
{
    MutterRemoteDesktopPointer pointer(m_bus.get(), m_log);
    const PointerAbilities abilities = pointer.abilities();
    EXPECT_FALSE(abilities.movesOnScreen);
    EXPECT_TRUE(abilities.movesInWindow);
    EXPECT_FALSE(abilities.readsPosition);
    pointer.moveTo({100, 100});
    pointer.moveTo({200, 200});
    EXPECT_EQ(m_log.lines.size(), 1u);
    EXPECT_EQ(pointer.sessionPath(), "") << "a session for a move it cannot make";
}

TEST_F(MutterRemoteDesktopPointerTest, MutterRefusingTheMoveCostsOneLineAndLeavesNoSession)
{
    MutterRemoteDesktopPointer pointer(m_bus.get(), m_log);
    ASSERT_TRUE(pumpUntil([&] { return !pointer.preparedSessionPath().empty(); }, 1000));
    // Those of others (the harness's keyboard); the first move takes the one made ahead.
    const int sessionsBefore = mutterSessionCount(m_bus.get()) - 1;
    ASSERT_GE(sessionsBefore, 1);
    // No window has the focus, so mutter has none to record.
    EXPECT_FALSE(pointer.moveToInWindow(windowNumbered(1), {10, 10}));
    EXPECT_FALSE(pointer.moveToInWindow(windowNumbered(1), {10, 10}));
    EXPECT_EQ(pointer.sessionPath(), "");
    ASSERT_EQ(m_log.lines.size(), 1u);
    EXPECT_NE(m_log.lines.front().find("RecordWindow"), std::string::npos) << m_log.lines.front();
    // The half-made sessions are stopped, not left to show an indicator.
    EXPECT_TRUE(pumpUntil([&] { return mutterSessionCount(m_bus.get()) == sessionsBefore; }, 1000))
        << mutterSessionCount(m_bus.get()) << " sessions, " << sessionsBefore << " before";
}

// zenity's question, answered by a click where the pointer was put: it says
// Yes (exit 0) only if the pointer rests on its Yes button.
TEST_F(MutterRemoteDesktopPointerTest, ZenityQuestionIsAnsweredByAClickWhereThePointerWent)
{
    MutterRemoteDesktopPointer pointer(m_bus.get(), m_log);
    GError* error = nullptr;
    linux_desktop::GObjectRef<GSubprocess> zenity = linux_desktop::GObjectRef<GSubprocess>::adopt(
        g_subprocess_new(G_SUBPROCESS_FLAGS_NONE, &error, "zenity", "--question", "--text=Overwrite the file?", nullptr));
    ASSERT_TRUE(zenity) << error->message;
    bool exited = false;
    g_subprocess_wait_async(zenity.get(), nullptr, [](GObject*, GAsyncResult*, gpointer done) { *static_cast<bool*>(done) = true; },
                            &exited);
    const int pid = std::stoi(g_subprocess_get_identifier(zenity.get()));
    std::optional<Area> yes;
    ASSERT_TRUE(pumpUntil([&] { return wayland::testing::hasActiveWindow(pid) && (yes = wayland::testing::accessibleButtonOf(pid, "Yes")); }, 10000))
        << "zenity never showed an active window with a Yes button";
    ASSERT_TRUE(pointer.moveToInWindow(windowNumbered(1), snapSpot(*yes)));
    pumpFor(MutterRemoteDesktopPointer::kSettleAgainMs + 100);
    clickWhereThePointerIs(m_bus.get());
    const bool answered = pumpUntil([&] { return exited; }, 3000);
    if (!answered) {
        g_subprocess_force_exit(zenity.get());
        pumpUntil([&] { return exited; }, 3000);
    }
    ASSERT_TRUE(answered) << "the click answered nothing";
    EXPECT_TRUE(g_subprocess_get_if_exited(zenity.get()));
    EXPECT_EQ(g_subprocess_get_exit_status(zenity.get()), 0) << "zenity was answered No";
}

// Last: it restarts the compositor that every other test's dialogs run on.
TEST_F(MutterRemoteDesktopPointerTest, ZMutterGoneAndBackCostsOneLineThenMovesWorkAgain)
{
    MutterRemoteDesktopPointer pointer(m_bus.get(), m_log);
    {
        EnterDialog dialog; // dies with its compositor
        expectSnapOntoSave(pointer, dialog, windowNumbered(1));
        ASSERT_NE(pointer.sessionPath(), "");
        ASSERT_EQ(compositorCtl("kill"), 0);
    }
    EXPECT_TRUE(pumpUntil([&] { return pointer.sessionPath().empty(); }, 2000)) << "the dead session is kept";
    EXPECT_FALSE(MutterRemoteDesktopPointer::available(m_bus.get()));
    // Moves while it is away fail at once, every time, and say so once.
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(pointer.moveToInWindow(windowNumbered(1), {10, 10}));
    EXPECT_FALSE(pointer.moveToInWindow(windowNumbered(1), {10, 10}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(2 * MutterRemoteDesktopPointer::kCallTimeoutMs));
    EXPECT_EQ(pointer.sessionPath(), "");
    ASSERT_EQ(m_log.lines.size(), 1u);
    std::printf("logged: %s\n", m_log.lines.front().c_str());

    ASSERT_EQ(compositorCtl("start"), 0);
    ASSERT_TRUE(MutterRemoteDesktopPointer::available(m_bus.get()));
    EnterDialog dialog;
    expectSnapOntoSave(pointer, dialog, windowNumbered(2));
    EXPECT_EQ(m_log.lines.size(), 1u);
}

} // namespace
} // namespace velmora::gnome
