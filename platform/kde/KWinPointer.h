#pragma once

#include "platform/Accessibility.h"
#include "platform/Pointer.h"
#include "platform/SystemLog.h"
#include "platform/kde/KWinFakeInput.h"
#include "platform/kde/KWinScript.h"

#include <memory>
#include <string>

namespace velmora::kde {

// The pointer on a KDE Plasma Wayland desktop: KWin tells, through a short
// script, where the active window's surface lies on the screen, and its
// fake-input protocol moves the pointer there, in global coordinates. KWin
// offers that protocol only to programs it authorises (the package's desktop
// entry for the agent); without it, one log line and no moves.
//
// The pointer is not read: location() is the last point moved to, and
// anyButtonDown() is false.
class KWinPointer final : public Pointer {
public:
    // For the compositor to say what it offers: long enough for KWin's
    // check of an authorised program, short of freezing the agent.
    static constexpr int kListingTimeoutMs = 2000;

    static constexpr const char* kNotAuthorisedLine =
        "KWin does not let Velmora move the pointer (its fake-input interface is not offered to this program: "
        "the agent's desktop entry must list org_kde_kwin_fake_input under X-KDE-Wayland-Interfaces); "
        "Velmora keeps running but will not snap.";

    // The log and the accessibility (which tells a window's process) are
    // borrowed and outlive the pointer.
    KWinPointer(SystemLog& log, Accessibility& accessibility);
    ~KWinPointer() override;
    KWinPointer(const KWinPointer&) = delete;
    KWinPointer& operator=(const KWinPointer&) = delete;

    PointerAbilities abilities() override { return {true, true, false}; }
    bool moveToInWindow(const AXElement& window, CGPoint point) override;
    void moveTo(CGPoint point) override;
    CGPoint location() override { return m_last; }
    bool anyButtonDown() override { return false; }

private:
    // Connected to the display, and told what it offers (anew after KWin
    // restarted, say); null, logged, when that fails.
    KWinFakeInput* input();
    bool moveGlobal(CGPoint point);
    void reportTrouble(const std::string& what);

    SystemLog& m_log;
    Accessibility& m_accessibility;
    std::unique_ptr<KWinFakeInput> m_input;
    KWinScript m_script;
    CGPoint m_last;
    bool m_troubleReported{false};
    bool m_toldNotAuthorised{false};
};

} // namespace velmora::kde
