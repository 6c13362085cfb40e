#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

enum class AlertStyle { Informational, Critical };

struct Alert {
    AlertStyle style{AlertStyle::Informational};
    std::string title;
    std::string message;
    // In order; the first is the default button. Never empty.
    std::vector<std::string> buttons;
};

// Application-modal alerts. The alert comes to the front even while another
// application is active, and runModal returns only once it is closed; the run
// loop keeps serving other sources meanwhile, so notifications can arrive
// during the call.
class AlertService {
public:
    virtual ~AlertService() = default;

    // The index of the button chosen; nothing when the alert was aborted
    // (abortModal) or could not be shown.
    virtual std::optional<size_t> runModal(const Alert& alert) = 0;

    // Closes the alert that is running now, as unanswered. Does nothing when
    // none runs.
    virtual void abortModal() = 0;
};

} // namespace velmora
