#pragma once

#include <optional>
#include <sys/types.h>

namespace velmora::linux_desktop {

// What only a Wayland compositor knows of its windows: whose window shows at
// a point of the screen, and where that window's surface (the corner its
// accessibility positions count from) lies.
class SurfaceLocator {
public:
    virtual ~SurfaceLocator() = default;

    struct Surface {
        pid_t pid{0};
        int x{0};
        int y{0};
    };
    // None when no window shows there, or the compositor cannot tell now.
    virtual std::optional<Surface> surfaceAt(int x, int y) = 0;
};

} // namespace velmora::linux_desktop
