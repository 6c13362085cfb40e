#pragma once

#include "platform/AlertService.h"

#include <memory>

namespace velmora::linux_desktop {

class FreedesktopNotificationAlertService;
class ZenityAlertService;

// Each alert as a desktop notification where the session has a server that
// can show it, and as a dialog otherwise: no server owns the name, it does
// not answer in time, or the alert asks a question and the server shows no
// buttons. The choice is made anew per alert, so a server that starts or
// stops while the agent runs is followed.
class NotificationOrDialogAlertService final : public AlertService {
public:
    NotificationOrDialogAlertService(std::unique_ptr<FreedesktopNotificationAlertService> notifications,
        std::unique_ptr<ZenityAlertService> dialogs);
    ~NotificationOrDialogAlertService() override;

    // AlertService overrides.
    std::optional<size_t> runModal(const Alert& alert) override;
    void abortModal() override;

private:
    std::unique_ptr<FreedesktopNotificationAlertService> m_notifications;
    std::unique_ptr<ZenityAlertService> m_dialogs;
    bool m_running{false};
    // An abort while the notification was being tried: no dialog follows.
    bool m_aborted{false};
};

} // namespace velmora::linux_desktop
