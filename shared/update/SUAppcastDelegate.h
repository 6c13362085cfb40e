#pragma once

#include "shared/update/NSError.h"

namespace velmora {

class SUAppcast;

// Hears how a fetch ended. Both operations are optional: the defaults do nothing.
class SUAppcastDelegate {
public:
    virtual ~SUAppcastDelegate() = default;
    // After a successful parse, also when no valid item was found.
    virtual void appcastDidFinishLoading(SUAppcast&) { }
    // With an error of domain SUSparkleErrorDomain, code SUAppcastError.
    virtual void appcastFailedToLoadWithError(SUAppcast&, const NSError&) { }
};

} // namespace velmora
