#pragma once

namespace velmora {

// What a watched file descriptor is ready for, or what to watch it for.
struct FdEvents {
    bool readable{false};
    bool writable{false};
    bool failed{false}; // error or hang-up; only ever reported, never asked for
};

// A file descriptor watched by the run loop (RunLoop::watchFd). The watch
// lasts as long as this handle: destroying it, also from inside its own
// callback, stops the callbacks at once. The descriptor stays the caller's.
class FdWatch {
public:
    virtual ~FdWatch() = default;
};

} // namespace velmora
