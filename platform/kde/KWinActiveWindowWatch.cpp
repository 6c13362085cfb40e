#include "platform/kde/KWinActiveWindowWatch.h"

#include "platform/kde/KWinScript.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace velmora::kde {

namespace {

constexpr const char* kKWinName = "org.kde.KWin";
constexpr const char* kXml = "<node><interface name='com.brightfen.velmora.KWinActiveWindow'>"
                             "<method name='Activated'><arg type='s' direction='in'/></method>"
                             "</interface></node>";

// Called back on every activation, and when the active window moves or
// resizes (its surface corner is what positions count from).
constexpr const char* kScript =
    "var watched = [];\n"
    "function tell() {\n"
    "  var c = workspace.activeClient, p = workspace.cursorPos;\n"
    "  var g = c ? c.bufferGeometry : null;\n"
    "  var line = c ? [c.pid, g.x, g.y, g.width, g.height, p.x, p.y].join(' ') + '\\n' + c.caption\n"
    "               : [0, 0, 0, 0, 0, p.x, p.y].join(' ') + '\\n';\n"
    "  callDBus(SERVICE, PATH, INTERFACE, 'Activated', line);\n"
    "}\n"
    "workspace.clientActivated.connect(function (c) {\n"
    "  if (c && watched.indexOf(c) < 0) {\n"
    "    watched.push(c);\n"
    "    c.frameGeometryChanged.connect(function () { if (workspace.activeClient === c) tell(); });\n"
    "    c.windowClosed.connect(function () { watched.splice(watched.indexOf(c), 1); });\n"
    "  }\n"
    "  tell();\n"
    "});\n"
    "tell();\n";

// KWin's scripting object, its error dropped: the watch is an optimisation,
// and the pointer asks KWin itself when it has no news.
GVariant* callScripting(GDBusConnection* session, const char* method, GVariant* parameters, const char* replyType)
{
    std::string ignored;
    return KWinScript::scripting(session, method, parameters, replyType, ignored);
}

} // namespace

KWinActiveWindowWatch::KWinActiveWindowWatch(GDBusConnection* session)
    : m_session(session)
    , m_plugin("velmora-active-window-" + std::to_string(getpid()))
    , m_file((std::filesystem::path(g_get_user_runtime_dir()) / (m_plugin + ".js")).string())
{
    if (!m_session)
        return;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kXml, nullptr);
    static const GDBusInterfaceVTable vtable = {onMethodCall, nullptr, nullptr, {}};
    m_registration = g_dbus_connection_register_object(m_session, kObjectPath, node->interfaces[0], &vtable, this,
                                                       nullptr, nullptr);
    g_dbus_node_info_unref(node);
    if (!m_registration)
        return;
    // Loaded whenever KWin is there, again after it restarted.
    m_nameWatch = g_bus_watch_name_on_connection(
        m_session, kKWinName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar* owner, gpointer self) {
            auto* watch = static_cast<KWinActiveWindowWatch*>(self);
            watch->m_kwin = owner;
            watch->load();
        },
        [](GDBusConnection*, const gchar*, gpointer self) {
            auto* watch = static_cast<KWinActiveWindowWatch*>(self);
            watch->m_kwin.clear();
            watch->m_loaded = false;
            watch->m_last.reset();
        },
        this, nullptr);
}

KWinActiveWindowWatch::~KWinActiveWindowWatch()
{
    if (m_nameWatch)
        g_bus_unwatch_name(m_nameWatch);
    unload();
    if (m_registration)
        g_dbus_connection_unregister_object(m_session, m_registration);
    std::error_code ignored;
    std::filesystem::remove(m_file, ignored);
}

void KWinActiveWindowWatch::load()
{
    unload();
    {
        std::ofstream out(m_file);
        out << "var SERVICE = '" << g_dbus_connection_get_unique_name(m_session) << "', PATH = '" << kObjectPath
            << "', INTERFACE = '" << kInterface << "';\n"
            << kScript;
        if (!out)
            return;
    }
    GVariant* reply = callScripting(m_session, "loadScript", g_variant_new("(ss)", m_file.c_str(), m_plugin.c_str()), "(i)");
    if (!reply)
        return;
    gint32 id = -1;
    g_variant_get(reply, "(i)", &id);
    g_variant_unref(reply);
    // Started with every other loaded script not yet running: KWin's object
    // path of a script id may name another's (see KWinScript).
    GVariant* started = id >= 0 ? callScripting(m_session, "start", nullptr, nullptr) : nullptr;
    m_loaded = started != nullptr;
    if (started)
        g_variant_unref(started);
}

void KWinActiveWindowWatch::unload()
{
    m_last.reset();
    if (!m_loaded || !m_session)
        return;
    m_loaded = false;
    if (GVariant* unloaded = callScripting(m_session, "unloadScript", g_variant_new("(s)", m_plugin.c_str()), "(b)"))
        g_variant_unref(unloaded);
}

// static
std::optional<KWinActiveWindowWatch::Activation> KWinActiveWindowWatch::parse(const std::string& report)
{
    const size_t newline = report.find('\n');
    std::istringstream words(report.substr(0, newline));
    long pid = 0;
    double x = 0, y = 0, width = 0, height = 0, pointerX = 0, pointerY = 0;
    std::string extra;
    if (!(words >> pid >> x >> y >> width >> height >> pointerX >> pointerY) || (words >> extra) || pid < 0)
        return std::nullopt;
    Activation activation;
    activation.heard = std::chrono::steady_clock::now();
    activation.pid = static_cast<pid_t>(pid);
    activation.surface = Point{static_cast<float>(x), static_cast<float>(y)};
    activation.size = Size{static_cast<float>(width), static_cast<float>(height)};
    activation.pointer = Point{static_cast<float>(pointerX), static_cast<float>(pointerY)};
    activation.caption = newline == std::string::npos ? std::string() : report.substr(newline + 1);
    return activation;
}

// static
void KWinActiveWindowWatch::onMethodCall(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar*,
                                         GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self)
{
    auto* watch = static_cast<KWinActiveWindowWatch*>(self);
    const char* text = nullptr;
    g_variant_get(parameters, "(&s)", &text);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    // Only KWin's word counts: any program on the bus could call.
    if (!watch->m_loaded || !text || !sender || watch->m_kwin != sender)
        return;
    if (auto activation = parse(text))
        watch->m_last = std::move(activation);
}

} // namespace velmora::kde
