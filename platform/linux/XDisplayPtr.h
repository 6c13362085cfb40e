#pragma once

#include <X11/Xlib.h>

#include <memory>

namespace velmora::linux_desktop {

struct XDisplayDeleter {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

// The one X connection of the process, owned by the desktop backend; the
// pointer, screens and workspace borrow it.
using XDisplayPtr = std::unique_ptr<Display, XDisplayDeleter>;

} // namespace velmora::linux_desktop
