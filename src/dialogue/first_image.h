// Showing the first image, reduced by the screen factor, in grey levels.
#pragma once

#include <string_view>

#include "fits/pixel_image.h"
#include "platform/graphics_window.h"

namespace orvel {

// Opens the window at (0,0) with columns/sf x rows/sf pixels (buffered mode, black) and draws
// the grey level (stretched between the cuts p1 and p999) of every sf-th pixel of every sf-th
// row, then makes it visible. False when no window opens.
bool showFirstImage(GraphicsWindow& window, const PixelImage& image, float p1, float p999,
                    int screenFactor, std::string_view caption);

}  // namespace orvel
