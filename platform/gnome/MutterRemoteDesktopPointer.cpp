#include "platform/gnome/MutterRemoteDesktopPointer.h"

#include "platform/linux/BusNameOwner.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <utility>

namespace velmora::gnome {

namespace {

constexpr const char* kRemoteDesktopName = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kRemoteDesktopPath = "/org/gnome/Mutter/RemoteDesktop";
constexpr const char* kRemoteDesktopSession = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr const char* kScreenCastName = "org.gnome.Mutter.ScreenCast";
constexpr const char* kScreenCastPath = "/org/gnome/Mutter/ScreenCast";
constexpr const char* kScreenCastSession = "org.gnome.Mutter.ScreenCast.Session";

struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

// The text of a reply's first value: a string or an object path.
std::string firstString(GVariant* tuple)
{
    VariantPtr value(g_variant_get_child_value(tuple, 0));
    return g_variant_get_string(value.get(), nullptr);
}

} // namespace

struct MutterRemoteDesktopPointer::Session {
    AccessibleElement window; // the one its stream records
    std::string remoteDesktopPath;
    std::string screenCastPath;
    std::string streamPath;
    bool started{false};
    // Mutter closes a session itself when the recorded window goes.
    std::unique_ptr<DBusSignalSubscription> closed;
};

MutterRemoteDesktopPointer::MutterRemoteDesktopPointer(GDBusConnection* session, SystemLog& log, int idleCloseMs)
    : m_bus(linux_desktop::GObjectRef<GDBusConnection>::retain(session))
    , m_log(log)
    , m_idleCloseMs(idleCloseMs)
{
    m_ownerChanges = std::make_unique<DBusSignalSubscription>(
        session, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", "/org/freedesktop/DBus",
        kRemoteDesktopName, [this](GVariant* parameters) {
            const char* oldOwner = nullptr;
            g_variant_get_child(parameters, 1, "&s", &oldOwner);
            if (!oldOwner || !*oldOwner)
                return;
            // Said with no session open too: a compositor mostly goes long
            // after the last move, and the user should learn why none follow.
            reportTrouble("mutter left the session bus");
            dropSession();
            m_prepared.reset();
        });
    m_prepare = linux_desktop::SourceGuard::idle(onPrepare, this, "velmora: make a remote-desktop session ahead");
}

MutterRemoteDesktopPointer::~MutterRemoteDesktopPointer()
{
    // The one made ahead was never started: it ends with the connection, and
    // stopping it now would have to start it first.
    closeSession();
}

std::string MutterRemoteDesktopPointer::sessionPath() const
{
    return m_session ? m_session->remoteDesktopPath : std::string();
}

std::string MutterRemoteDesktopPointer::preparedSessionPath() const
{
    return m_prepared ? m_prepared->remoteDesktopPath : std::string();
}

// static
bool MutterRemoteDesktopPointer::available(GDBusConnection* session)
{
    return linux_desktop::busNameHasOwner(session, kRemoteDesktopName);
}

void MutterRemoteDesktopPointer::moveTo(Point)
{
    if (m_reportedNoGlobalMoves)
        return;
    m_reportedNoGlobalMoves = true;
    m_log.log(kNoGlobalMovesLine);
}

bool MutterRemoteDesktopPointer::moveToInWindow(const AccessibleElement& window, WindowPoint point)
{
    // A stream records the window that had the focus when it was made, so a
    // move into another window needs a stream, and a session, of its own.
    if (m_session && !(m_session->window == window))
        closeSession();
    bool opens = !m_session;
    if ((opens && !openSession(window)) || !move(point)) {
        // The session may have gone under us before mutter's word of it was
        // read (its window closed, the one made ahead dropped): once more,
        // with a new one.
        closeSession();
        opens = true;
        if (!openSession(window) || !move(point)) {
            reportTrouble(m_failure);
            closeSession();
            return false;
        }
    }
    m_last = point;
    m_troubleReported = false;
    if (opens) {
        // The next new window's session, once this one's moves are made:
        // mutter, busy drawing the new window, may take 100 ms to answer
        // before, and the agent would wait with it.
        m_prepare = linux_desktop::SourceGuard::timeout(kSettleAgainMs + 100, onPrepare, this,
                                                        "velmora: make a remote-desktop session ahead");
        m_settledOnce = false;
        m_settle = linux_desktop::SourceGuard::timeout(kSettleMs, onSettled, this,
                                                       "velmora: repeat the move once the new window settled");
    }
    m_idleClose = linux_desktop::SourceGuard::timeout(static_cast<guint>(m_idleCloseMs), onIdle, this,
                                                      "velmora: close the idle remote-desktop session");
    return true;
}

std::unique_ptr<MutterRemoteDesktopPointer::Session> MutterRemoteDesktopPointer::makeSession()
{
    VariantPtr created(call(kRemoteDesktopName, kRemoteDesktopPath, kRemoteDesktopName, "CreateSession", nullptr, "(o)"));
    if (!created)
        return nullptr;
    auto session = std::make_unique<Session>();
    session->remoteDesktopPath = firstString(created.get());
    const std::string path = session->remoteDesktopPath;
    // Mutter closes a session itself when the recorded window goes.
    session->closed = std::make_unique<DBusSignalSubscription>(
        m_bus.get(), kRemoteDesktopName, kRemoteDesktopSession, "Closed", path, nullptr, [this, path](GVariant*) {
            if (m_session && m_session->remoteDesktopPath == path)
                dropSession();
            if (m_prepared && m_prepared->remoteDesktopPath == path)
                m_prepared.reset();
        });

    // From here on a failure leaves a session in mutter that must be stopped.
    VariantPtr id(call(kRemoteDesktopName, path, "org.freedesktop.DBus.Properties", "Get",
                       g_variant_new("(ss)", kRemoteDesktopSession, "SessionId"), "(v)"));
    if (!id) {
        stopSession(*session);
        return nullptr;
    }
    VariantPtr idValue(g_variant_get_child_value(id.get(), 0));
    VariantPtr idText(g_variant_get_variant(idValue.get()));
    if (!g_variant_is_of_type(idText.get(), G_VARIANT_TYPE_STRING)) {
        m_failure = "mutter gave a remote-desktop session id that is not text";
        stopSession(*session);
        return nullptr;
    }
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "remote-desktop-session-id", idText.get());
    VariantPtr cast(call(kScreenCastName, kScreenCastPath, kScreenCastName, "CreateSession",
                         g_variant_new("(a{sv})", &properties), "(o)"));
    if (!cast) {
        stopSession(*session);
        return nullptr;
    }
    session->screenCastPath = firstString(cast.get());
    return session;
}

bool MutterRemoteDesktopPointer::openSession(const AccessibleElement& window)
{
    m_session = m_prepared ? std::move(m_prepared) : makeSession();
    if (!m_session)
        return false;
    m_session->window = window;
    // No window id: the focused window, the one whose accessible positions
    // the engine has just read.
    GVariantBuilder none;
    g_variant_builder_init(&none, G_VARIANT_TYPE_VARDICT);
    VariantPtr stream(call(kScreenCastName, m_session->screenCastPath, kScreenCastSession, "RecordWindow",
                           g_variant_new("(a{sv})", &none), "(o)"));
    if (!stream) {
        closeSession();
        return false;
    }
    m_session->streamPath = firstString(stream.get());
    // Starting the remote desktop session starts its screen cast too.
    VariantPtr started(call(kRemoteDesktopName, m_session->remoteDesktopPath, kRemoteDesktopSession, "Start", nullptr,
                            nullptr));
    if (!started) {
        closeSession();
        return false;
    }
    m_session->started = true;
    return true;
}

bool MutterRemoteDesktopPointer::move(WindowPoint point)
{
    g_log("velmora-mutter", G_LOG_LEVEL_DEBUG, "move to %.1f, %.1f in %s", static_cast<double>(point.x),
          static_cast<double>(point.y), m_session->streamPath.c_str());
    VariantPtr moved(call(kRemoteDesktopName, m_session->remoteDesktopPath, kRemoteDesktopSession,
                          "NotifyPointerMotionAbsolute",
                          g_variant_new("(sdd)", m_session->streamPath.c_str(), static_cast<double>(point.x),
                                        static_cast<double>(point.y)),
                          nullptr));
    return moved != nullptr;
}

void MutterRemoteDesktopPointer::closeSession()
{
    if (!m_session)
        return;
    stopSession(*m_session);
    dropSession();
}

void MutterRemoteDesktopPointer::stopSession(const Session& session)
{
    // Not waited for: the agent has no use for the answers, and a hung
    // compositor must not hold it. Mutter stops only a started session and
    // would keep a half-made one for as long as this connection lives, so
    // that one is started first (for a moment, with nothing recorded).
    // Calls on one connection arrive in order.
    const char* path = session.remoteDesktopPath.c_str();
    if (!session.started)
        g_dbus_connection_call(m_bus.get(), kRemoteDesktopName, path, kRemoteDesktopSession, "Start", nullptr, nullptr,
                               G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr, nullptr);
    g_dbus_connection_call(m_bus.get(), kRemoteDesktopName, path, kRemoteDesktopSession, "Stop", nullptr, nullptr,
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr, nullptr);
}

void MutterRemoteDesktopPointer::dropSession()
{
    m_idleClose.stop();
    m_settle.stop();
    m_session.reset();
}

// static
gboolean MutterRemoteDesktopPointer::onPrepare(gpointer self)
{
    auto* pointer = static_cast<MutterRemoteDesktopPointer*>(self);
    pointer->m_prepare.stop();
    // Quietly: a move that finds none makes its own, and says why it failed.
    if (!pointer->m_prepared)
        pointer->m_prepared = pointer->makeSession();
    return G_SOURCE_REMOVE;
}

// static
gboolean MutterRemoteDesktopPointer::onIdle(gpointer self)
{
    static_cast<MutterRemoteDesktopPointer*>(self)->closeSession();
    return G_SOURCE_REMOVE;
}

// static
gboolean MutterRemoteDesktopPointer::onSettled(gpointer self)
{
    auto* pointer = static_cast<MutterRemoteDesktopPointer*>(self);
    pointer->m_settle.stop();
    if (!pointer->m_session)
        return G_SOURCE_REMOVE;
    if (!pointer->move(pointer->m_last)) {
        // Its window has gone (mutter closes the session with it), or mutter
        // has, which its leaving the bus reports: nothing to tell here.
        pointer->closeSession();
    } else if (!std::exchange(pointer->m_settledOnce, true)) {
        pointer->m_settle = linux_desktop::SourceGuard::timeout(kSettleAgainMs - kSettleMs, onSettled, pointer,
                                                                "velmora: repeat the move once more");
    }
    return G_SOURCE_REMOVE;
}

void MutterRemoteDesktopPointer::reportTrouble(const std::string& what)
{
    if (m_troubleReported)
        return;
    m_troubleReported = true;
    m_log.log("The pointer cannot be moved through mutter's remote desktop (" + what +
              "); the next move tries again with a new session.");
}

GVariant* MutterRemoteDesktopPointer::call(const char* name, const std::string& path, const char* interface,
                                           const char* method, GVariant* parameters, const char* replyType)
{
    linux_desktop::GErrorPtr error;
    GVariant* reply = g_dbus_connection_call_sync(m_bus.get(), name, path.c_str(), interface, method, parameters,
                                                  replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr,
                                                  error.out());
    if (!reply) {
        gchar* remote = error ? g_dbus_error_get_remote_error(error.get()) : nullptr;
        m_failure = std::string(interface) + "." + method + ": " + (remote ? remote : error.message());
        g_free(remote);
    }
    return reply;
}

} // namespace velmora::gnome
