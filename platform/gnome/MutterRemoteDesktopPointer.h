#pragma once

#include "platform/Pointer.h"
#include "platform/SystemLog.h"
#include "platform/gnome/DBusSignalSubscription.h"
#include "platform/linux/GObjectRef.h"
#include "platform/linux/SourceGuard.h"

#include <gio/gio.h>

#include <memory>
#include <string>

namespace velmora::gnome {

// The pointer on a GNOME Wayland desktop, moved through mutter's remote
// desktop interface on the session bus. Wayland gives programs no global
// coordinates and no way to read or set the real pointer; mutter instead
// moves it to a point in the coordinates of a screen-cast stream, and a
// stream that records the focused window has that window's coordinates,
// which are the ones its accessibility positions are given in.
//
// A session (remote desktop, its screen cast and one window stream) is
// opened on the first move into a window and closed after idleCloseMs
// without moves, or when a move goes to another window: GNOME Shell shows
// an indicator while one is open, so none is kept for nothing. Opening asks
// nothing of the user.
//
// It cannot read the pointer: location() is the last point it moved to, in
// the coordinates of the window it moved in (0, 0 before the first move),
// and anyButtonDown() is always false. Global moves are not possible.
//
// Mutter animates a new window for about 250 ms, and a move made meanwhile
// lands up to a few pixels off; the first events of a new session's device
// may also reach the pointer without the window under it being told. So the
// last move into a window is made again kSettleMs and kSettleAgainMs after
// its session opened, the second for a loaded machine, where the
// animation's last frame comes late. A user who moves the mouse within that
// moment is overruled.
//
// What can be made before the window is known (the remote-desktop session
// and its screen cast, not started, so nothing shows for it) is made ahead,
// at start and again once a new session's moves are made: a move into a new
// window then costs only its stream and the start.
//
// Mutter missing, leaving the bus (session open or not), restarted or
// refusing a call: one log line until a move succeeds again, the session is
// dropped, and the next move opens a new one.
class MutterRemoteDesktopPointer final : public Pointer {
public:
    static constexpr int kIdleCloseMs = 2000;
    // Each call to mutter. It answers in a millisecond or two; a compositor
    // that takes longer is hung, and the agent must not hang with it.
    static constexpr int kCallTimeoutMs = 500;
    static constexpr int kSettleMs = 300;
    static constexpr int kSettleAgainMs = 700;

    // The connection is shared for the pointer's life; the log is borrowed
    // and outlives the pointer.
    MutterRemoteDesktopPointer(GDBusConnection* session, SystemLog& log, int idleCloseMs = kIdleCloseMs);
    ~MutterRemoteDesktopPointer() override;
    MutterRemoteDesktopPointer(const MutterRemoteDesktopPointer&) = delete;
    MutterRemoteDesktopPointer& operator=(const MutterRemoteDesktopPointer&) = delete;

    PointerAbilities abilities() override { return {false, true, false}; }
    bool moveToInWindow(const AccessibleElement& window, WindowPoint point) override;
    void moveTo(Point point) override;
    // No global reading here: the last spot, in its window's pixels, is
    // what is known (readsPosition is false).
    Point location() override { return {m_last.x, m_last.y}; }
    bool anyButtonDown() override { return false; }

    // Whether mutter's remote desktop interface is on this bus, for the
    // desktop chooser: one bounded call, no session opened.
    static bool available(GDBusConnection* session);

    // The open session's remote-desktop object path, empty when none is open.
    std::string sessionPath() const;
    // The one made ahead for the next new window, empty when there is none.
    std::string preparedSessionPath() const;

    static constexpr const char* kNoGlobalMovesLine =
        "The pointer is moved through mutter, which moves it only within a window; a move to a screen point "
        "is left undone.";

private:
    struct Session;

    // A session made up to its screen cast, not started; null on failure.
    std::unique_ptr<Session> makeSession();
    bool openSession(const AccessibleElement& window);
    // Tells mutter to stop a session without waiting for its answer.
    void stopSession(const Session& session);
    bool move(WindowPoint point);
    // Tells mutter to stop the session without waiting for its answer.
    void closeSession();
    // Forgets the session without telling mutter (it has gone, or closed it).
    void dropSession();
    void reportTrouble(const std::string& what);
    // One call to mutter; null with m_failure set when it fails.
    GVariant* call(const char* name, const std::string& path, const char* interface, const char* method,
                   GVariant* parameters, const char* replyType);
    static gboolean onIdle(gpointer self);
    static gboolean onSettled(gpointer self);
    static gboolean onPrepare(gpointer self);

    linux_desktop::GObjectRef<GDBusConnection> m_bus;
    SystemLog& m_log;
    int m_idleCloseMs;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<Session> m_prepared;
    linux_desktop::SourceGuard m_prepare;
    linux_desktop::SourceGuard m_idleClose;
    linux_desktop::SourceGuard m_settle;
    bool m_settledOnce{false};
    // Mutter leaving the bus (a crash, a restart) takes the session with it.
    std::unique_ptr<DBusSignalSubscription> m_ownerChanges;
    WindowPoint m_last;
    std::string m_failure;
    bool m_troubleReported{false};
    bool m_reportedNoGlobalMoves{false};
};

} // namespace velmora::gnome
