#include "agent/accessibility/PointerMover.h"

#include "platform/Platform.h"

namespace velmora {

void PointerMover::moveMouseToPoint(Point point)
{
    Platform::current().pointer().moveTo(point);
}

Point PointerMover::snapPointOnElement(Point origin, Size size)
{
    const float scale = Platform::current().screens().mainScreenScaleFactor();
    Point target;
    target.y = origin.y + 0.5f * size.height;
    target.x = origin.x + size.width - kInsetFromRightEdge * scale;
    return target;
}

Point PointerMover::centerMouseOnElementWithOrigin(Point origin, Size size)
{
    const Point target = snapPointOnElement(origin, size);
    moveMouseToPoint(target);
    return target;
}

Point pointerLocation()
{
    return Platform::current().pointer().location();
}

} // namespace velmora
