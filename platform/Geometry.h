#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Three coordinate forms meet in the agent; distinct types keep them from
// being mixed up silently.

// Global coordinates with the origin at the bottom-left corner of the primary
// screen, y growing upward (the form pointer-location texts are written in).
struct NSPoint {
    float x{0};
    float y{0};
    friend bool operator==(const NSPoint&, const NSPoint&) = default;
};

// Global coordinates with the origin at the top-left corner of the primary
// screen, y growing downward: element positions, sizes and pointer moves.
struct CGPoint {
    float x{0};
    float y{0};
    friend bool operator==(const CGPoint&, const CGPoint&) = default;
};

struct CGSize {
    float width{0};
    float height{0};
    friend bool operator==(const CGSize&, const CGSize&) = default;
};

// A CG position truncated to two 16-bit integers, vertical first.
struct CarbonPoint {
    int16_t v{0};
    int16_t h{0};
    friend bool operator==(const CarbonPoint&, const CarbonPoint&) = default;
};

// A screen frame in bottom-left-origin global coordinates.
struct NSRect {
    NSPoint origin;
    CGSize size;
    friend bool operator==(const NSRect&, const NSRect&) = default;
};

// "{x, y}" exactly as the pointer-location texts are written.
std::string NSStringFromPoint(NSPoint point);
// Reads "{x, y}"; anything unreadable yields {0, 0}, as the original reader does.
NSPoint NSPointFromString(const std::string& text);

} // namespace velmora
