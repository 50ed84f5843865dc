// One line of text as screen pixels, for a window that says something in its client area.
#pragma once

#include <string_view>

#include "platform/raster.h"

namespace orvel {

// The text (UTF-8), `size` pixels high, in `ink` on `paper`, left-aligned with a small margin
// and centred from top to bottom in a strip of width x height pixels; text that does not fit
// is cut off at the right. Plain paper when the text cannot be drawn.
Raster letteredLine(std::string_view text, int width, int height, double size, Rgb ink, Rgb paper);

}  // namespace orvel
