#include "platform/kde/KWinScript.h"

#include "platform/linux/BusNameOwner.h"
#include "platform/linux/GErrorPtr.h"
#include "platform/linux/TimeBudgets.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace velmora::kde {

namespace {

constexpr const char* kKWinName = "org.kde.KWin";
constexpr const char* kReportPath = "/com/brightfen/velmora/KWinReport";
constexpr const char* kReportInterface = "com.brightfen.velmora.KWinReport";
constexpr const char* kReportXml = "<node><interface name='com.brightfen.velmora.KWinReport'>"
                                   "<method name='Report'><arg type='s' direction='in'/></method>"
                                   "</interface></node>";

struct VariantUnref {
    void operator()(GVariant* variant) const { g_variant_unref(variant); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

// Made the thread-default context for as long as it lives.
class ScopedContext {
public:
    explicit ScopedContext(GMainContext* context) : m_context(context) { g_main_context_push_thread_default(context); }
    ~ScopedContext() { g_main_context_pop_thread_default(m_context); }
    ScopedContext(const ScopedContext&) = delete;
    ScopedContext& operator=(const ScopedContext&) = delete;

private:
    GMainContext* m_context;
};

} // namespace

KWinScript::KWinScript() : m_context(g_main_context_new()) { }

KWinScript::~KWinScript()
{
    if (m_bus && m_registration)
        g_dbus_connection_unregister_object(m_bus.get(), m_registration);
    if (m_bus)
        g_dbus_connection_close_sync(m_bus.get(), nullptr, nullptr);
    m_bus = {};
    // What the connection left queued on the context goes with it.
    while (g_main_context_iteration(m_context.get(), FALSE)) { }
}

// static
bool KWinScript::available(GDBusConnection* session)
{
    return linux_desktop::busNameHasOwner(session, kKWinName);
}

bool KWinScript::ensureConnection(std::string& error)
{
    if (m_bus && !g_dbus_connection_is_closed(m_bus.get()))
        return true;
    if (m_bus && m_registration)
        g_dbus_connection_unregister_object(m_bus.get(), m_registration);
    m_registration = 0;
    m_bus = {};
    ScopedContext scoped(m_context.get());
    linux_desktop::GErrorPtr gerror;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, gerror.out());
    if (!address) {
        error = "no session bus: " + gerror.message();
        return false;
    }
    m_bus = linux_desktop::GObjectRef<GDBusConnection>::adopt(g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                          | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, gerror.out()));
    g_free(address);
    if (!m_bus) {
        error = "cannot connect to the session bus: " + gerror.message();
        return false;
    }
    g_dbus_connection_set_exit_on_close(m_bus.get(), FALSE);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kReportXml, nullptr);
    static const GDBusInterfaceVTable vtable = {onMethodCall, nullptr, nullptr, {}};
    m_registration = g_dbus_connection_register_object(m_bus.get(), kReportPath, node->interfaces[0], &vtable, this,
                                                       nullptr, nullptr);
    g_dbus_node_info_unref(node);
    m_uniqueName = g_dbus_connection_get_unique_name(m_bus.get());
    return m_registration != 0;
}

// static
void KWinScript::onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self)
{
    const char* text = nullptr;
    g_variant_get(parameters, "(&s)", &text);
    static_cast<KWinScript*>(self)->m_answer = text ? text : "";
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

// static
GVariant* KWinScript::scripting(GDBusConnection* bus, const char* method, GVariant* parameters, const char* replyType,
                                std::string& error)
{
    linux_desktop::GErrorPtr gerror;
    GVariant* reply = g_dbus_connection_call_sync(bus, kKWinName, "/Scripting", "org.kde.kwin.Scripting", method,
                                                  parameters, replyType ? G_VARIANT_TYPE(replyType) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NO_AUTO_START, kTimeoutMs, nullptr, gerror.out());
    if (!reply)
        error = std::string("org.kde.kwin.Scripting.") + method + ": " + gerror.message();
    return reply;
}

std::optional<std::string> KWinScript::ask(const std::string& body, std::string& error)
{
    if (!ensureConnection(error))
        return std::nullopt;
    ScopedContext scoped(m_context.get());
    // KWin reads a script from a file, and knows it by a plugin name while loaded.
    const std::string plugin = "velmora-" + std::to_string(getpid()) + "-" + std::to_string(++m_serial);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / (plugin + ".js");
    {
        std::ofstream out(file);
        out << "function report(text) { callDBus('" << m_uniqueName << "', '" << kReportPath << "', '"
            << kReportInterface << "', 'Report', '' + text); }\n"
            << body << "\n";
        if (!out) {
            error = "cannot write the script to " + file.string();
            return std::nullopt;
        }
    }
    m_answer.reset();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    VariantPtr loaded(scripting(m_bus.get(), "loadScript",
                                g_variant_new("(ss)", file.c_str(), plugin.c_str()), "(i)", error));
    gint32 id = -1;
    if (loaded)
        g_variant_get(loaded.get(), "(i)", &id);
    if (id >= 0) {
        // Started through Scripting.start (every loaded script not yet
        // running) rather than the script's own object: KWin numbers scripts
        // by how many are loaded, so with other programs loading and
        // unloading theirs, the path of this id may be another's, or none.
        VariantPtr ran(scripting(m_bus.get(), "start", nullptr, nullptr, error));
        if (ran) {
            // Woken by the call back, or by this at the deadline.
            bool late = false;
            GSource* timer = g_timeout_source_new(static_cast<guint>(std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count())));
            g_source_set_callback(timer, [](gpointer flag) { *static_cast<bool*>(flag) = true; return G_SOURCE_REMOVE; },
                                  &late, nullptr);
            g_source_attach(timer, m_context.get());
            while (!m_answer && !late)
                g_main_context_iteration(m_context.get(), TRUE);
            g_source_destroy(timer);
            g_source_unref(timer);
            if (!m_answer)
                error = "KWin's script did not answer in time";
        }
        std::string ignored;
        VariantPtr unloaded(scripting(m_bus.get(), "unloadScript",
                                      g_variant_new("(s)", plugin.c_str()), "(b)", ignored));
    } else if (loaded) {
        error = "KWin refused the script";
    }
    std::error_code removeError;
    std::filesystem::remove(file, removeError);
    return m_answer;
}

} // namespace velmora::kde
