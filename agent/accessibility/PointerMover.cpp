#include "agent/accessibility/PointerMover.h"

#include "platform/Platform.h"

#include <cmath>

namespace velmora {

void PointerMover::moveMouseToPoint(CGPoint point)
{
    Platform::current().pointer().moveTo(point);
}

CGPoint PointerMover::snapPointOnElement(CGPoint origin, CGSize size)
{
    const float scale = Platform::current().screens().mainScreenScaleFactor();
    CGPoint target;
    target.y = origin.y + 0.5f * size.height;
    target.x = origin.x + size.width - kInsetFromRightEdge * scale;
    return target;
}

CGPoint PointerMover::centerMouseOnElementWithOrigin(CGPoint origin, CGSize size)
{
    const CGPoint target = snapPointOnElement(origin, size);
    moveMouseToPoint(target);
    return target;
}

CGPoint convertGlobalPointToCGPoint(NSPoint point)
{
    auto screens = Platform::current().screens().screens();
    if (screens.empty())
        return {point.x, point.y};
    const NSRect& primary = screens.front().frame;
    return {point.x, primary.origin.y + primary.size.height - point.y};
}

CarbonPoint convertGlobalPointToCarbonPoint(NSPoint point)
{
    CGPoint cg = convertGlobalPointToCGPoint(point);
    // Truncate toward zero, then keep the low 16 bits. Going through int64
    // keeps far-off coordinates defined instead of overflowing the cast.
    auto low16 = [](float value) -> int16_t {
        if (!std::isfinite(value))
            return 0;
        double truncated = std::trunc(static_cast<double>(value));
        if (truncated > 9.0e18 || truncated < -9.0e18)
            return 0;
        return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(truncated) & 0xffff));
    };
    return {low16(cg.y), low16(cg.x)};
}

NSPoint convertCGPointToGlobalPoint(CGPoint point)
{
    // The flip is its own inverse.
    CGPoint flipped = convertGlobalPointToCGPoint({point.x, point.y});
    return {flipped.x, flipped.y};
}

NSPoint currentMouseLocation()
{
    return convertCGPointToGlobalPoint(Platform::current().pointer().location());
}

CarbonPoint currentGlobalMouse()
{
    CGPoint cg = Platform::current().pointer().location();
    return convertGlobalPointToCarbonPoint(convertCGPointToGlobalPoint(cg));
}

} // namespace velmora
