#pragma once

#include "platform/AlertService.h"
#include "platform/NotificationCenter.h"
#include "platform/linux/GObjectRef.h"

#include <gio/gio.h>

#include <string>

namespace velmora::linux_desktop {

// Alerts as zenity dialogs: a separate process, so the agent (which has no
// toolkit of its own) shows a real window that any desktop brings to the
// front. runModal spins a nested GLib loop until the dialog closes, so the
// agent's other sources are served meanwhile. The message shows as plain
// text: markup in it is not interpreted.
//
// The dialog is a window of another process, so when it loses the focus to
// yet another program, the application's resign-active notification is
// posted on `localCenter` (when given; borrowed, outlives the service), as
// for a window of its own: that closes the update offer.
class ZenityAlertService final : public AlertService {
public:
    explicit ZenityAlertService(NotificationCenter* localCenter = nullptr) : m_localCenter(localCenter) { }
    ~ZenityAlertService() override;

    // Nothing when zenity is missing, fails, or the alert was aborted.
    std::optional<size_t> runModal(const Alert& alert) override;
    void abortModal() override;

    // A message's lines as the dialog shows them: broken at the last space
    // before `lineChars` bytes; the given line breaks are kept.
    static constexpr size_t kLineChars = 64;
    static std::string wrappedText(const std::string& text, size_t lineChars);

private:
    NotificationCenter* m_localCenter{nullptr};
    GObjectRef<GSubprocess> m_running; // the dialog on screen, while runModal runs
    bool m_aborted{false};
};

} // namespace velmora::linux_desktop
