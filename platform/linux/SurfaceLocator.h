#pragma once

#include <optional>
#include <sys/types.h>

namespace velmora::linux_desktop {

// What only a Wayland compositor knows of its windows: whose window shows at
// a point of the screen, where that window's surface (the corner its
// accessibility positions count from) lies, and whose window has the focus.
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
    // The process whose window has the focus; none when no window has it,
    // or the compositor cannot tell now.
    virtual std::optional<pid_t> focusedProcess() = 0;
    // An accessibility event arrived: the windows may have changed, and an
    // answer kept until now is not to be given again.
    virtual void forgetAnswers() { }
};

} // namespace velmora::linux_desktop
