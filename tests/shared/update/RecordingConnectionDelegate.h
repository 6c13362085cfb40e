#pragma once

#include "shared/update/HttpTransfer.h"

#include <chrono>
#include <optional>
#include <string>

namespace velmora::test {

// Collects what a connection delivers.
struct RecordingConnectionDelegate final : HttpTransferDelegate {
    std::string body;
    int chunks{0};
    int finishes{0};
    std::optional<RequestError> error;

    void connectionDidReceiveData(HttpTransfer&, std::string_view data) override
    {
        body.append(data);
        ++chunks;
    }
    void connectionDidFailWithError(HttpTransfer&, const RequestError& e) override { error = e; }
    void connectionDidFinishLoading(HttpTransfer&) override { ++finishes; }
};

// Drives a connection by hand, without a run loop, for at most `seconds` of
// real time; true when it finished.
inline bool pumpUntilFinished(HttpTransfer& connection, double seconds = 10)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!connection.isFinished() && std::chrono::steady_clock::now() < deadline)
        connection.pump(0.05);
    return connection.isFinished();
}

} // namespace velmora::test
