#include "analysis/star_selection.h"

#include "base/numeric.h"

namespace orvel {

void placeBackgroundRectangle(StarSelection& s, int columns, int rows) {
    // Half-sizes are a fiftieth of the image in each direction.
    const float hw = f32(columns / 50.0);
    const float hh = f32(rows * static_cast<double>(hw) / columns);
    const double cx = static_cast<double>(s.screenFactor) * s.backgroundX;
    const double cy = static_cast<double>(s.screenFactor) * s.backgroundY;
    // Near an edge the rectangle is clipped, not shifted.
    s.x1 = f32(cx - hw);
    if (s.x1 < 1.0f) s.x1 = 1.0f;
    s.x2 = f32(cx + hw);
    if (s.x2 > static_cast<float>(columns)) s.x2 = static_cast<float>(columns);
    s.y1 = f32(cy - hh);
    if (s.y1 < 1.0f) s.y1 = 1.0f;
    s.y2 = f32(cy + hh);
    if (s.y2 > static_cast<float>(rows)) s.y2 = static_cast<float>(rows);
}

}  // namespace orvel
