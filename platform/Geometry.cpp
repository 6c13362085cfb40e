#include "platform/Geometry.h"

#include <charconv>
#include <cstdlib>

namespace velmora {

namespace {

std::string formatCoordinate(float value)
{
    // Shortest fixed-point text that reads back to the same float: "10", "10.5", "-0.25".
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
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
