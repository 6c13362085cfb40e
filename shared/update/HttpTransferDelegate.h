#pragma once

#include "shared/update/RequestError.h"

#include <string_view>

namespace velmora {

class HttpTransfer;

// Receives one connection's progress on the run loop: any number of data
// chunks, then exactly one of the failure or the completion. Nothing arrives
// after that, nor after the connection is cancelled or destroyed.
class HttpTransferDelegate {
public:
    virtual ~HttpTransferDelegate() = default;
    virtual void connectionDidReceiveData(HttpTransfer& connection, std::string_view data) = 0;
    virtual void connectionDidFailWithError(HttpTransfer& connection, const RequestError& error) = 0;
    virtual void connectionDidFinishLoading(HttpTransfer& connection) = 0;
};

} // namespace velmora
