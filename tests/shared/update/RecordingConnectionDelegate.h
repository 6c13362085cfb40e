#pragma once

#include "shared/update/URLConnection.h"

#include <chrono>
#include <optional>
#include <string>

namespace velmora::test {

// Collects what a connection delivers.
struct RecordingConnectionDelegate final : URLConnectionDelegate {
    std::string body;
    int chunks{0};
    int finishes{0};
    std::optional<NSError> error;

    void connectionDidReceiveData(URLConnection&, std::string_view data) override
    {
        body.append(data);
        ++chunks;
    }
    void connectionDidFailWithError(URLConnection&, const NSError& e) override { error = e; }
    void connectionDidFinishLoading(URLConnection&) override { ++finishes; }
};

// Drives a connection by hand, without a run loop, for at most `seconds` of
// real time; true when it finished.
inline bool pumpUntilFinished(URLConnection& connection, double seconds = 10)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!connection.isFinished() && std::chrono::steady_clock::now() < deadline)
        connection.pump(0.05);
    return connection.isFinished();
}

} // namespace velmora::test
