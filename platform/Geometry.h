#pragma once

#include <cmath>

namespace velmora {

// Screen pixels with the origin at the root window's top-left corner, y
// growing downward: element positions, pointer locations and moves.
struct Point {
    float x{0};
    float y{0};
    friend bool operator==(const Point&, const Point&) = default;
};

// Pixels of one window's own surface, same orientation: where a Wayland
// desktop tells no screen positions, elements are placed this way and the
// pointer goes there through Pointer::moveToInWindow. A type of its own so
// that such a point cannot reach a screen move or a screen comparison.
struct WindowPoint {
    float x{0};
    float y{0};
    friend bool operator==(const WindowPoint&, const WindowPoint&) = default;
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
