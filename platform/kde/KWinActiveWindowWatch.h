#pragma once

#include "platform/Geometry.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace velmora::kde {

// Keeps a script loaded in KWin that tells, as it happens, which window KWin
// activates, where its surface starts and where the pointer was then. A
// reaction to a newly focused dialog then needs no script of its own, whose
// loading costs milliseconds: KWin activates a window before its client
// hears of it, so the news is usually here before the accessibility event.
// Reloaded when KWin comes back after a restart; unloaded on destruction.
class KWinActiveWindowWatch {
public:
    static constexpr const char* kObjectPath = "/com/brightfen/velmora/KWinActiveWindow";
    static constexpr const char* kInterface = "com.brightfen.velmora.KWinActiveWindow";

    struct Activation {
        std::chrono::steady_clock::time_point heard;
        pid_t pid{0}; // 0: no window is active
        Point surface;
        Size size;
        Point pointer;
        std::string caption;
    };

    // `session` is shared (its main context is the agent's loop) and outlives
    // this watch.
    explicit KWinActiveWindowWatch(GDBusConnection* session);
    ~KWinActiveWindowWatch();
    KWinActiveWindowWatch(const KWinActiveWindowWatch&) = delete;
    KWinActiveWindowWatch& operator=(const KWinActiveWindowWatch&) = delete;

    // The last activation KWin told of, while its script runs.
    const std::optional<Activation>& last() const { return m_last; }
    bool loaded() const { return m_loaded; }

    // Parses one report of the script: "PID X Y WIDTH HEIGHT POINTER_X
    // POINTER_Y" and the caption on the next line. None when it is not one.
    static std::optional<Activation> parse(const std::string& report);

private:
    static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    void load();
    void unload();

    GDBusConnection* m_session; // not owned
    guint m_registration{0};
    guint m_nameWatch{0};
    std::string m_kwin; // KWin's unique name while it is on the bus
    std::string m_plugin;
    std::string m_file;
    bool m_loaded{false};
    std::optional<Activation> m_last;
};

} // namespace velmora::kde
