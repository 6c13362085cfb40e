#include "platform/Geometry.h"

#include <cstdio>
#include <cstdlib>

namespace velmora {

namespace {

std::string formatCoordinate(float value)
{
    // Shortest form that reads back to the same float: "10", "10.5", "-0.25".
    char buffer[32];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(value));
        if (std::strtof(buffer, nullptr) == value)
            break;
    }
    return buffer;
}

} // namespace

std::string NSStringFromPoint(NSPoint point)
{
    return "{" + formatCoordinate(point.x) + ", " + formatCoordinate(point.y) + "}";
}

NSPoint NSPointFromString(const std::string& text)
{
    const char* cursor = text.c_str();
    while (*cursor == ' ' || *cursor == '{')
        ++cursor;
    char* end = nullptr;
    float x = std::strtof(cursor, &end);
    if (end == cursor)
        return {};
    cursor = end;
    while (*cursor == ' ' || *cursor == ',')
        ++cursor;
    float y = std::strtof(cursor, &end);
    if (end == cursor)
        return {};
    return {x, y};
}

} // namespace velmora
