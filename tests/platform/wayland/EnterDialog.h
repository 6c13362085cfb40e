#pragma once

// The dialog of enter-dialog.py (or its GTK 4 and Qt twins), run under a
// private Wayland desktop, with what it says on stdout and its buttons as
// AT-SPI sees them.

#include "platform/linux/GObjectRef.h"
#include "tests/platform/linux/ScopedVariable.h"

#include <atspi/atspi.h>
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace velmora::wayland::testing {

template<typename T> using Ref = linux_desktop::GObjectRef<T>;

// Runs the thread's main context (the pointer's signals and timeouts) until
// the condition holds or the time is up.
inline bool pumpUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        while (g_main_context_iteration(nullptr, FALSE)) { }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void pumpFor(int milliseconds)
{
    pumpUntil([] { return false; }, milliseconds);
}

struct Area {
    int x{0}, y{0}, width{0}, height{0};
};

// "enter Save 76 17" -> {76, 17}
inline std::optional<std::pair<int, int>> enteredAt(const std::string& line)
{
    std::istringstream words(line);
    std::string verb, name;
    int x = 0, y = 0;
    if (!(words >> verb >> name >> x >> y))
        return std::nullopt;
    return std::make_pair(x, y);
}

namespace detail {

inline std::optional<Area> findButton(AtspiAccessible* node, const std::string& name)
{
    gchar* nodeName = atspi_accessible_get_name(node, nullptr);
    // GTK 4 doubles a plain label in the name ("Save Save").
    const bool match = atspi_accessible_get_role(node, nullptr) == ATSPI_ROLE_PUSH_BUTTON && nodeName
                       && (name == nodeName || name + " " + name == nodeName);
    g_free(nodeName);
    if (match) {
        auto component = Ref<AtspiComponent>::adopt(atspi_accessible_get_component_iface(node));
        AtspiRect* rect = component ? atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_WINDOW, nullptr) : nullptr;
        std::optional<Area> area;
        // libadwaita keeps a hidden second row of its buttons, 0 x 0.
        if (rect && rect->width > 0 && rect->height > 0)
            area = Area{rect->x, rect->y, rect->width, rect->height};
        g_free(rect);
        return area;
    }
    std::optional<Area> found;
    for (int i = 0, count = atspi_accessible_get_child_count(node, nullptr); i < count && !found; ++i) {
        if (auto child = Ref<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(node, i, nullptr)))
            found = findButton(child.get(), name);
    }
    return found;
}

// Calls the function with each accessible application of the process until it returns true.
inline bool forApplicationOf(int pid, const std::function<bool(AtspiAccessible*)>& function)
{
    auto desktop = Ref<AtspiAccessible>::adopt(atspi_get_desktop(0));
    for (int i = 0, count = atspi_accessible_get_child_count(desktop.get(), nullptr); i < count; ++i) {
        auto application = Ref<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(desktop.get(), i, nullptr));
        if (application && static_cast<int>(atspi_accessible_get_process_id(application.get(), nullptr)) == pid
            && function(application.get()))
            return true;
    }
    return false;
}

} // namespace detail

// A button of a process's windows as its accessible tree gives it: window
// coordinates, which is all GTK 3 on Wayland has.
inline std::optional<Area> accessibleButtonOf(int pid, const std::string& name)
{
    std::optional<Area> found;
    detail::forApplicationOf(pid, [&](AtspiAccessible* application) { return (found = detail::findButton(application, name)).has_value(); });
    return found;
}

// Whether one of the process's windows is the active one.
inline bool hasActiveWindow(int pid)
{
    return detail::forApplicationOf(pid, [](AtspiAccessible* application) {
        for (int i = 0, count = atspi_accessible_get_child_count(application, nullptr); i < count; ++i) {
            auto window = Ref<AtspiAccessible>::adopt(atspi_accessible_get_child_at_index(application, i, nullptr));
            auto states = window ? Ref<AtspiStateSet>::adopt(atspi_accessible_get_state_set(window.get())) : Ref<AtspiStateSet>();
            if (states && atspi_state_set_contains(states.get(), ATSPI_STATE_ACTIVE))
                return true;
        }
        return false;
    });
}

class EnterDialog {
public:
    // `script` says the same lines as enter-dialog.py; `kind` is its second argument.
    explicit EnterDialog(const std::string& title = "Save changes?", const char* script = DIALOG_SCRIPT,
                         const char* kind = nullptr)
    {
        GError* error = nullptr;
        m_process = Ref<GSubprocess>::adopt(g_subprocess_new(
            static_cast<GSubprocessFlags>(G_SUBPROCESS_FLAGS_STDIN_PIPE | G_SUBPROCESS_FLAGS_STDOUT_PIPE), &error,
            "/usr/bin/python3", script, title.c_str(), kind, nullptr));
        if (!m_process) {
            ADD_FAILURE() << "cannot start the dialog: " << error->message;
            g_error_free(error);
            return;
        }
        m_stdout = Ref<GDataInputStream>::adopt(g_data_input_stream_new(g_subprocess_get_stdout_pipe(m_process.get())));
        readLine();
    }
    EnterDialog(const EnterDialog&) = delete;
    EnterDialog& operator=(const EnterDialog&) = delete;
    ~EnterDialog()
    {
        if (!m_process)
            return;
        // Its stdin closing ends it; a dialog that lost its compositor is gone already.
        g_output_stream_close(g_subprocess_get_stdin_pipe(m_process.get()), nullptr, nullptr);
        if (!pumpUntil([this] { return m_eof; }, 3000))
            g_subprocess_force_exit(m_process.get());
        g_cancellable_cancel(m_cancel.get());
        pumpFor(20); // a read's callback still queued runs while this object lives
        g_subprocess_wait(m_process.get(), nullptr, nullptr);
    }

    int pid() const
    {
        const char* id = m_process ? g_subprocess_get_identifier(m_process.get()) : nullptr;
        return id ? std::stoi(id) : 0;
    }

    bool waitForActive(int timeoutMs = 10000)
    {
        return pumpUntil([this] { return has("active"); }, timeoutMs);
    }
    // The first line that starts with the prefix, waiting for it.
    std::optional<std::string> waitForLine(const std::string& prefix, int timeoutMs)
    {
        std::optional<std::string> found;
        pumpUntil([&] {
            for (const auto& line : m_lines)
                if (line.rfind(prefix, 0) == 0)
                    return (found = line), true;
            return false;
        }, timeoutMs);
        return found;
    }
    bool has(const std::string& line) const { return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end(); }

    std::optional<Area> accessibleButton(const std::string& name) const { return accessibleButtonOf(pid(), name); }

    // The last place the dialog saw the pointer on the button: its last
    // enter or motion line, empty while it has seen none.
    std::string lastOn(const std::string& name) const
    {
        std::string last;
        for (const auto& line : m_lines)
            if (line.rfind("enter " + name + " ", 0) == 0 || line.rfind("motion " + name + " ", 0) == 0)
                last = line;
        return last;
    }
    // Expects the pointer to come to rest on the button within 1 px of (x, y),
    // in the coordinates the dialog reports; says what it saw if not.
    void expectRestsAt(const std::string& name, int x, int y, const std::string& agentLog)
    {
        const bool rests = waitToRestAt(name, x, y, 1, 5000);
        std::string said;
        for (const auto& line : m_lines)
            said += line + "\n";
        EXPECT_TRUE(rests) << "last seen on " << name << ": '" << lastOn(name) << "', spot " << x << ", " << y
                           << "\nthe dialog said:\n" << said << agentLog;
    }
    // Waits until the pointer was last seen on the button within `slack` of (x, y).
    bool waitToRestAt(const std::string& name, int x, int y, int slack, int timeoutMs)
    {
        return pumpUntil([&] {
            const auto at = enteredAt(lastOn(name));
            return at && std::abs(at->first - x) <= slack && std::abs(at->second - y) <= slack;
        }, timeoutMs);
    }

private:
    void readLine()
    {
        g_data_input_stream_read_line_async(m_stdout.get(), G_PRIORITY_DEFAULT, m_cancel.get(), onLine, this);
    }
    static void onLine(GObject* source, GAsyncResult* result, gpointer self)
    {
        GError* error = nullptr;
        gchar* line = g_data_input_stream_read_line_finish(G_DATA_INPUT_STREAM(source), result, nullptr, &error);
        if (error) {
            // Cancelled: the dialog object may be gone; touch nothing.
            g_error_free(error);
            return;
        }
        auto* dialog = static_cast<EnterDialog*>(self);
        if (!line) {
            dialog->m_eof = true;
            return;
        }
        dialog->m_lines.emplace_back(line);
        g_free(line);
        dialog->readLine();
    }

    Ref<GSubprocess> m_process;
    Ref<GDataInputStream> m_stdout;
    Ref<GCancellable> m_cancel{Ref<GCancellable>::adopt(g_cancellable_new())};
    std::vector<std::string> m_lines;
    bool m_eof{false};
};

using linux_desktop::testing::ScopedVariable;

} // namespace velmora::wayland::testing
