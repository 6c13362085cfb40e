#pragma once

#include <memory>

typedef struct _XDisplay Display; // Xlib's; its header defines macros (Success, None, Bool) that clash with ours

namespace velmora::linux_desktop {

struct XDisplayDeleter {
    void operator()(Display* display) const; // XCloseDisplay
};

// The one X connection of the process, owned by the desktop backend; the
// pointer, screens and workspace borrow it.
using XDisplayPtr = std::unique_ptr<Display, XDisplayDeleter>;

} // namespace velmora::linux_desktop
