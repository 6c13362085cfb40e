#include "platform/sim/SimAlertService.h"

namespace velmora::sim {

std::optional<size_t> SimAlertService::runModal(const Alert& alert)
{
    m_showing = true;
    m_aborted = false;
    if (whileShowing)
        whileShowing(alert);
    std::optional<size_t> answer;
    if (!m_aborted && !alert.buttons.empty()) {
        size_t button = 0;
        if (!m_answers.empty()) {
            button = m_answers.front();
            m_answers.pop_front();
        }
        answer = button < alert.buttons.size() ? button : alert.buttons.size() - 1;
    }
    m_showing = false;
    m_shown.push_back({alert, answer});
    return answer;
}

void SimAlertService::abortModal()
{
    if (m_showing)
        m_aborted = true;
}

} // namespace velmora::sim
