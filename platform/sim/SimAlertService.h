#pragma once

#include "platform/AlertService.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace velmora::sim {

// Alerts on the simulated desktop: each is recorded and answered at once, as
// the test said beforehand (the default button when it said nothing).
class SimAlertService final : public AlertService {
public:
    struct ShownAlert {
        Alert alert;
        std::optional<size_t> answer; // nothing: aborted
    };

    // Queues the answer to the next unanswered alert: a button index.
    void answerNextWith(size_t button) { m_answers.push_back(button); }

    // Runs while an alert is up, before it is answered: what the nested loop
    // of a real modal alert would deliver (e.g. the application losing the
    // front) can be posted from here.
    std::function<void(const Alert&)> whileShowing;

    const std::vector<ShownAlert>& shown() const { return m_shown; }
    bool isShowing() const { return m_showing; }
    void clear() { m_shown.clear(); }

    // AlertService
    std::optional<size_t> runModal(const Alert& alert) override;
    void abortModal() override;

private:
    std::deque<size_t> m_answers;
    std::vector<ShownAlert> m_shown;
    bool m_showing{false};
    bool m_aborted{false};
};

} // namespace velmora::sim
