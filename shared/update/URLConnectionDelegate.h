#pragma once

#include "shared/update/NSError.h"

#include <string_view>

namespace velmora {

class URLConnection;

// Receives one connection's progress on the run loop: any number of data
// chunks, then exactly one of the failure or the completion. Nothing arrives
// after that, nor after the connection is cancelled or destroyed.
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;
    virtual void connectionDidReceiveData(URLConnection& connection, std::string_view data) = 0;
    virtual void connectionDidFailWithError(URLConnection& connection, const NSError& error) = 0;
    virtual void connectionDidFinishLoading(URLConnection& connection) = 0;
};

} // namespace velmora
