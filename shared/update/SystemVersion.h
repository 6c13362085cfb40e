#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The running system's version as a dotted number, the value a feed item's
// minimum system version is compared with. Rolling distributions give no
// VERSION_ID, and an empty version would pass over every item that names a
// minimum, so some dotted number is always given.
class SystemVersion {
public:
    // What the version is made from.
    struct Facts {
        std::string versionId;     // os-release VERSION_ID: "12", "22.04"
        std::string buildId;       // os-release BUILD_ID: "20241130", "rolling"
        std::string kernelRelease; // uname's release: "6.1.0-13-amd64"
    };

    // This machine's facts: os-release as GLib finds it (/etc, else
    // /usr/lib) and the kernel's release.
    static Facts read();

    // The leading dotted number of VERSION_ID; else of BUILD_ID (a snapshot
    // date, say); else of the kernel's release; "0" when none has one.
    static std::string fromFacts(const Facts& facts);

    // The dotted number a text starts with, without a trailing dot: "3.21.0"
    // of "3.21.0_alpha20240807", "6.1.0" of "6.1.0-13-amd64"; "" when it
    // starts with anything but a digit ("rolling").
    static std::string leadingDottedNumber(std::string_view text);
};

} // namespace velmora
