#pragma once

#include <optional>

namespace velmora {

// The optional party of an update checker. Both operations are optional:
// the defaults stand for "not implemented".
class UpdateCheckerDelegate {
public:
    virtual ~UpdateCheckerDelegate() = default;
    // When it answers, the answer replaces both stored alert flags.
    virtual std::optional<bool> shouldShowVerboseUI() { return std::nullopt; }
    // A check that reached the network has ended (after an offer: once the
    // user answered it).
    virtual void updateCheckFinished() { }
};

} // namespace velmora
