#include "pane/feedback/FeedbackOpener.h"

#include "pane/feedback/NetworkReachability.h"
#include "platform/Gettext.h"
#include "platform/SystemLog.h"

namespace velmora {

FeedbackOpener::FeedbackOpener(const FeedbackController::Services& services, FeedbackController::WindowFactory makeWindow)
    : m_services(services)
    , m_makeWindow(std::move(makeWindow))
{
}

FeedbackOpener::~FeedbackOpener() = default;

void FeedbackOpener::show(const std::optional<std::string>& details)
{
    std::optional<std::string> configured = FeedbackController::configuredURL(m_services.settings);
    if (!configured) {
        m_services.log.log("HXFeedbackURL not defined");
        return;
    }
    std::optional<std::string> url = FeedbackController::postURL(m_services.settings, m_services.log);
    if (!url) {
        m_services.alerts.runModal(Alert{AlertStyle::Critical, FeedbackController::localizedString("Feedback Address Not Secure"),
            FeedbackController::stringWithFormat(FeedbackController::localizedString("Insecure Address Explanation"), *configured), {_("OK")}});
        return;
    }
    std::optional<NetworkReachability::Host> host = NetworkReachability::hostOfURL(*url);
    if (!host || !NetworkReachability::checkReachabilityByName(*host)) {
        Alert question{AlertStyle::Informational, FeedbackController::localizedString("Feedback Host Not Reachable"),
            FeedbackController::stringWithFormat(FeedbackController::localizedString("Unreachable Explanation"), host ? host->name : ""),
            {FeedbackController::localizedString("Proceed Anyway"), FeedbackController::localizedString("Cancel")}};
        if (m_services.alerts.runModal(question) != 0)
            return;
    }
    if (!m_open)
        m_open = std::make_unique<FeedbackController>(m_services, m_makeWindow, [this] { close(); });
    m_open->showWindow();
    if (details)
        m_open->setTextViewStringTo(*details);
}

void FeedbackOpener::close()
{
    if (!m_open)
        return;
    std::shared_ptr<FeedbackController> closing(std::move(m_open));
    closing->retire(closing);
}

} // namespace velmora
