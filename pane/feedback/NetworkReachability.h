#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// Whether a server can be reached from here without first making a
// connection or asking the user: the host name resolves, the desktop has a
// route to it, and the network is not held behind a captive portal (which
// needs the user to sign in first). Nothing is sent to the server.
class NetworkReachability {
public:
    struct Host {
        std::string name;
        uint16_t port{0};
    };

    // The host and port of an http or https address (the scheme's port when
    // none is given); nothing for an address without a host.
    static std::optional<Host> hostOfURL(const std::string& url);

    // Blocks while the name is resolved, as the check before opening the
    // feedback window always has.
    static bool checkReachabilityByName(const Host& host);
};

} // namespace velmora
