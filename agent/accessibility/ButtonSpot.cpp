#include "agent/accessibility/ButtonSpot.h"

namespace velmora {

Point ButtonSpot::on(Point origin, Size size, float scale)
{
    return {origin.x + size.width - kInsetFromRightEdge * scale, origin.y + 0.5f * size.height};
}

} // namespace velmora
