#include "platform/linux/NotificationOrDialogAlertService.h"

#include "platform/linux/FreedesktopNotificationAlertService.h"
#include "platform/linux/ZenityAlertService.h"

#include <utility>

namespace velmora::linux_desktop {

NotificationOrDialogAlertService::NotificationOrDialogAlertService(
    std::unique_ptr<FreedesktopNotificationAlertService> notifications, std::unique_ptr<ZenityAlertService> dialogs)
    : m_notifications(std::move(notifications))
    , m_dialogs(std::move(dialogs))
{
}

NotificationOrDialogAlertService::~NotificationOrDialogAlertService() = default;

std::optional<size_t> NotificationOrDialogAlertService::runModal(const Alert& alert)
{
    if (m_running)
        return std::nullopt;
    m_running = true;
    m_aborted = false;
    const auto shown = m_notifications->present(alert);
    std::optional<size_t> answer = shown.answer;
    if (shown.delivery == FreedesktopNotificationAlertService::Delivery::NotShown && !m_aborted)
        answer = m_dialogs->runModal(alert);
    m_running = false;
    return answer;
}

void NotificationOrDialogAlertService::abortModal()
{
    if (!m_running)
        return;
    m_aborted = true;
    m_notifications->abortModal();
    m_dialogs->abortModal();
}

} // namespace velmora::linux_desktop
