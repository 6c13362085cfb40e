#pragma once

#include "shared/update/RequestError.h"

namespace velmora {

class UpdateFeed;

// Hears how a fetch ended. Both operations are optional: the defaults do nothing.
class UpdateFeedDelegate {
public:
    virtual ~UpdateFeedDelegate() = default;
    // After a successful parse, also when no valid item was found.
    virtual void appcastDidFinishLoading(UpdateFeed&) { }
    // With an error of domain kUpdateFeedErrorDomain, code UpdateFeedError.
    virtual void appcastFailedToLoadWithError(UpdateFeed&, const RequestError&) { }
};

} // namespace velmora
