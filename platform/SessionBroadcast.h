#pragma once

#include "platform/NotificationCenter.h"

#include <functional>
#include <string>

namespace velmora {

// Named notifications between processes of the same user: no payload, no
// reply, every listener receives each. Delivery is asynchronous, from the
// receiver's run loop; posting never blocks on a receiver.
class SessionBroadcast {
public:
    using Handler = std::function<void(const std::string& name)>;

    virtual ~SessionBroadcast() = default;

    [[nodiscard]] virtual NotificationObservation addObserver(const std::string& name, Handler handler) = 0;
    virtual void postNotificationName(const std::string& name) = 0;
};

} // namespace velmora
