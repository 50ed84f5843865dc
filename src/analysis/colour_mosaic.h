// A colour camera's raw Bayer mosaic taken apart into its three colours as 2 x 2 super-pixels:
// one red, the mean of the two greens, one blue, at half the frame's size.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "fits/pixel_image.h"

namespace orvel {

struct MosaicLayout {
    // The colour ('R', 'G' or 'B') of the pixels (0,0), (1,0), (0,1) and (1,1) of every 2 x 2
    // cell, image columns and rows from 0 as stored in the file, the offsets already applied.
    std::array<char, 4> cell{};
};

// The layout of a pattern named like BAYERPAT (RGGB, BGGR, GRBG or GBRG, letter case and blanks
// ignored) whose first pixel sits at column xOffset and row yOffset of the pattern (XBAYROFF,
// YBAYROFF); empty for any other name.
std::optional<MosaicLayout> mosaicLayout(std::string_view pattern, int xOffset, int yOffset);

// The super-pixels of one colour ('R', 'G' or 'B') in a region of super-pixel rows and columns
// (clipped to the mosaic) of the mosaic held in `full` (which must hold the full-frame pixels
// the region covers: rows 2 x first to 2 x last + 1, columns likewise), into `out`: an image of
// columns / 2 x rows / 2 that holds that region. A pixel is the colour's value in its 2 x 2
// cell, the mean of the two for green.
void superPixels(const PixelImage& full, const MosaicLayout& layout, char colour,
                 PixelRegion region, PixelImage& out);

}  // namespace orvel
