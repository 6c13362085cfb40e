#pragma once

#include <cmath>

namespace velmora {

// Screen pixels with the origin at the top-left corner of the primary
// screen, y growing downward: element positions, pointer locations and
// moves. A window-relative backend gives positions in the window's own
// pixels instead, with the same orientation (see Pointer::moveToInWindow).
struct Point {
    float x{0};
    float y{0};
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    float width{0};
    float height{0};
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin; // top-left corner
    Size size;
    friend bool operator==(const Rect&, const Rect&) = default;

    // Half-open: the right and bottom edges belong to the neighbour.
    bool contains(Point point) const
    {
        return point.x >= origin.x && point.x < origin.x + size.width && point.y >= origin.y
            && point.y < origin.y + size.height;
    }
};

// Each coordinate truncated toward zero: the pixel a point falls in, for hit
// tests and for drift measured in whole pixels.
inline Point wholePixels(Point point)
{
    return {std::trunc(point.x), std::trunc(point.y)};
}

} // namespace velmora
