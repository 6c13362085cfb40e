#pragma once

#include "platform/Accessibility.h"
#include "platform/Pointer.h"
#include "platform/SystemLog.h"
#include "platform/kde/KWinActiveWindowWatch.h"
#include "platform/kde/KWinFakeInput.h"
#include "platform/kde/KWinScript.h"
#include "platform/linux/SurfaceLocator.h"

#include <glib.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace velmora::kde {

// The pointer on a KDE Plasma Wayland desktop: KWin tells, through a short
// script, where the active window's surface lies on the screen, and its
// fake-input protocol moves the pointer there, in global coordinates. KWin
// offers that protocol only to programs it authorises (the package's desktop
// entry for the agent); without it, one log line and no moves.
//
// The pointer is read through a script too, which tells at the same time the
// active window and the window under the pointer: one answer serves every
// question of one reaction (or of one snap-back poll) for a short while, as
// a script costs milliseconds where an X11 query costs microseconds. KWin
// does not tell the mouse buttons: anyButtonDown() is false.
class KWinPointer final : public Pointer, public linux_desktop::SurfaceLocator {
public:
    // For the compositor to say what it offers: long enough for KWin's
    // check of an authorised program, short of freezing the agent.
    static constexpr int kListingTimeoutMs = 2000;

    static constexpr const char* kNotAuthorisedLine =
        "KWin does not let Velmora move the pointer (its fake-input interface is not offered to this program: "
        "the agent's desktop entry must list org_kde_kwin_fake_input under X-KDE-Wayland-Interfaces); "
        "Velmora keeps running but will not snap.";

    // One answer of KWin's stands for the pointer's place and the windows
    // only within the dispatch of the main loop that asked, until the next
    // accessibility event (one reaction to a focused window, one snap-back
    // poll), and not longer than this: an answer from before another window
    // of the same process took the focus would put the pointer in the wrong
    // window, or take a closed dialog's process for the active one.
    static constexpr std::chrono::milliseconds kSnapshotLifetime{100};

    // How long the pointer's place stands that KWin told with an activation,
    // or that the agent moved it to, for reading it without a script.
    static constexpr std::chrono::milliseconds kKnownPointerLifetime{100};

    // The log and the accessibility (which tells a window's process) are
    // borrowed and outlive the pointer; so does `session`, the agent's
    // connection, on which KWin tells of activations (none: it is asked each
    // time).
    KWinPointer(SystemLog& log, Accessibility& accessibility, GDBusConnection* session = nullptr);
    ~KWinPointer() override;
    KWinPointer(const KWinPointer&) = delete;
    KWinPointer& operator=(const KWinPointer&) = delete;

    PointerAbilities abilities() override { return {true, true, true}; }
    bool moveToInWindow(const AccessibleElement& window, WindowPoint point) override;
    void moveTo(Point point) override;
    // The last place moved to when KWin cannot be asked.
    Point location() override;
    bool anyButtonDown() override { return false; }

    std::optional<Surface> surfaceAt(int x, int y) override;
    std::optional<pid_t> focusedProcess() override;
    void forgetAnswers() override { m_snapshot.reset(); }

    struct Dispatch {
        unsigned source{0}; // none outside a dispatch
        gint64 iteration{0};
        bool operator==(const Dispatch&) const = default;
    };

private:
    // What one script tells: where the pointer is, and the surfaces of the
    // active window and of the topmost window under a point (the pointer's
    // unless asked for another).
    struct Snapshot {
        std::chrono::steady_clock::time_point taken;
        Dispatch dispatch; // that asked
        Point pointer;
        int probeX{0};
        int probeY{0};
        Surface active;
        Surface under;
    };
    // A fresh answer: the last one while it stands, else KWin is asked (at
    // `probe` for the window under it, the pointer when none).
    const Snapshot* snapshot(std::optional<std::pair<int, int>> probe = std::nullopt, bool fresh = false);
    // The surface corner of `window` as KWin told when it activated it, if
    // the news is about this very window (process, title and size agree).
    std::optional<Point> toldSurfaceOf(const AccessibleElement& window, pid_t pid);

    // Connected to the display, and told what it offers (anew after KWin
    // restarted, say); null, logged, when that fails.
    KWinFakeInput* input();
    bool moveGlobal(Point point);
    void reportTrouble(const std::string& what);

    SystemLog& m_log;
    Accessibility& m_accessibility;
    std::unique_ptr<KWinFakeInput> m_input;
    KWinScript m_script;
    Point m_last;
    std::optional<Snapshot> m_snapshot;
    std::unique_ptr<KWinActiveWindowWatch> m_activations;
    // Where the agent last moved the pointer, and when.
    std::chrono::steady_clock::time_point m_movedAt;
    bool m_troubleReported{false};
    bool m_toldNotAuthorised{false};
};

} // namespace velmora::kde
