#pragma once

#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string>

namespace velmora::kde {

// Asks KWin, through its scripting interface on the session bus, what only
// the compositor knows (the active window's place, the pointer's): a short
// script is loaded, run, and calls back with one line of text, then is
// unloaded. The call back comes on a connection of this object's own, served
// by its own main context, so waiting for it runs nothing else of the agent.
class KWinScript {
public:
    // The whole exchange: load, run, the call back, unload.
    static constexpr int kTimeoutMs = 500;

    KWinScript();
    ~KWinScript();
    KWinScript(const KWinScript&) = delete;
    KWinScript& operator=(const KWinScript&) = delete;

    // Whether KWin's scripting interface is on this bus: one bounded call.
    static bool available(GDBusConnection* session);

    // Runs `body`, JavaScript for KWin, in which `report(text)` answers;
    // none when KWin is not there, refuses, or does not answer in time.
    // `error` says why.
    std::optional<std::string> ask(const std::string& body, std::string& error);

    // One call to KWin's scripting object (org.kde.kwin.Scripting) on `bus`,
    // bounded by kTimeoutMs; null, with `error` set, when it fails.
    static GVariant* scripting(GDBusConnection* bus, const char* method, GVariant* parameters, const char* replyType,
                               std::string& error);

private:
    static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                             GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self);
    bool ensureConnection(std::string& error);


    struct ContextUnref {
        void operator()(GMainContext* context) const { g_main_context_unref(context); }
    };
    std::unique_ptr<GMainContext, ContextUnref> m_context;
    linux_desktop::GObjectRef<GDBusConnection> m_bus;
    guint m_registration{0};
    std::string m_uniqueName;
    std::optional<std::string> m_answer;
    unsigned m_serial{0};
};

} // namespace velmora::kde
