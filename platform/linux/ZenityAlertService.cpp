#include "platform/linux/ZenityAlertService.h"

#include "platform/ProcessManager.h"
#include "platform/linux/AtspiFocusLossWatch.h"
#include "platform/linux/GCharPtr.h"
#include "platform/linux/GErrorPtr.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace velmora::linux_desktop {

namespace {

struct Wait {
    GMainLoop* loop;
    bool done{false};
};

void onExited(GObject*, GAsyncResult*, gpointer data)
{
    auto* wait = static_cast<Wait*>(data);
    wait->done = true;
    g_main_loop_quit(wait->loop);
}

} // namespace

ZenityAlertService::~ZenityAlertService()
{
    abortModal();
}

// static
std::string ZenityAlertService::wrappedText(const std::string& text, size_t lineChars)
{
    std::string wrapped;
    size_t lineStart = 0; // in `wrapped`
    size_t lastSpace = std::string::npos;
    for (const char c : text) {
        wrapped += c;
        if (c == '\n') {
            lineStart = wrapped.size();
            lastSpace = std::string::npos;
        } else if (c == ' ') {
            lastSpace = wrapped.size() - 1;
        }
        // Counted in bytes: a line of accented text breaks a little early.
        if (wrapped.size() - lineStart > lineChars && lastSpace != std::string::npos) {
            wrapped[lastSpace] = '\n';
            lineStart = lastSpace + 1;
            lastSpace = std::string::npos;
        }
    }
    return wrapped;
}

std::optional<size_t> ZenityAlertService::runModal(const Alert& alert)
{
    if (m_running || alert.buttons.empty())
        return std::nullopt;
    // zenity's own answers: OK (exit 0), Cancel (exit 1, nothing printed),
    // and extra buttons (exit 1, their label printed).
    // zenity reads --text as Pango markup, and Debian 12's has no switch to
    // turn that off; the text (a feed's version string, say) is escaped so
    // that it shows as written and cannot become a link.
    // zenity's own wrapping lets a label take its whole natural width, one
    // line across the screen: the lines are broken here instead.
    const std::string message = wrappedText(alert.message, kLineChars);
    const GCharPtr text(g_markup_escape_text(message.c_str(), static_cast<gssize>(message.size())));
    std::vector<std::string> args{"zenity", alert.buttons.size() == 1 ? "--info" : "--question", "--no-wrap",
        "--title=" + alert.title, "--text=" + text.str(), "--ok-label=" + alert.buttons[0]};
    if (alert.style == AlertStyle::Critical)
        args.push_back("--icon-name=dialog-warning");
    if (alert.buttons.size() > 1)
        args.push_back("--cancel-label=" + alert.buttons[1]);
    for (size_t i = 2; i < alert.buttons.size(); ++i)
        args.push_back("--extra-button=" + alert.buttons[i]);
    std::vector<const gchar*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);

    GErrorPtr error;
    m_running = GObjectRef<GSubprocess>::adopt(g_subprocess_newv(argv.data(),
        static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDOUT_PIPE | G_SUBPROCESS_FLAGS_STDERR_SILENCE), error.out()));
    if (!m_running)
        return std::nullopt;
    m_aborted = false;
    auto subprocess = m_running.share();
    std::unique_ptr<AtspiFocusLossWatch> focusLoss;
    if (m_localCenter) {
        const pid_t pid = static_cast<pid_t>(std::atoi(g_subprocess_get_identifier(subprocess.get())));
        focusLoss = std::make_unique<AtspiFocusLossWatch>(
            pid, [this] { m_localCenter->post(kWillResignActiveNotification, this); });
    }
    GMainLoop* loop = g_main_loop_new(g_main_context_get_thread_default(), FALSE);
    Wait wait{loop};
    g_subprocess_wait_async(subprocess.get(), nullptr, onExited, &wait);
    if (!wait.done)
        g_main_loop_run(loop);
    g_main_loop_unref(loop);
    focusLoss.reset();
    m_running.reset();
    if (m_aborted || !g_subprocess_get_if_exited(subprocess.get()))
        return std::nullopt;

    const int status = g_subprocess_get_exit_status(subprocess.get());
    if (status == 0)
        return 0;
    if (status != 1 || alert.buttons.size() < 2)
        return std::nullopt;
    GInputStream* out = g_subprocess_get_stdout_pipe(subprocess.get());
    char buffer[512] = {};
    gsize read = 0;
    g_input_stream_read_all(out, buffer, sizeof buffer - 1, &read, nullptr, nullptr);
    std::string label(buffer, read);
    while (!label.empty() && (label.back() == '\n' || label.back() == '\r'))
        label.pop_back();
    if (label.empty())
        return 1;
    for (size_t i = 2; i < alert.buttons.size(); ++i) {
        if (alert.buttons[i] == label)
            return i;
    }
    return std::nullopt;
}

void ZenityAlertService::abortModal()
{
    if (!m_running)
        return;
    m_aborted = true;
    g_subprocess_force_exit(m_running.get());
}

} // namespace velmora::linux_desktop
