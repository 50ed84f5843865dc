// Where a listed frame's pixels come from: a file of the folder as a whole, one plane of a
// colour cube, or one colour of a raw Bayer mosaic.
#pragma once

#include <optional>
#include <string>

#include "analysis/colour_mosaic.h"

namespace orvel {

struct FrameSource {
    std::string file;          // the file in the folder
    bool captureFile = false;  // read as capture programs write it: the first image extension
                               // after an empty primary, gzip or tile compression, writers' times
    int plane = -1;            // plane 0, 1, 2 of a colour cube; -1 for a frame of one plane
    std::optional<MosaicLayout> mosaic;  // a raw colour mosaic: this frame is its band's
                                         // super-pixels, at half the size
};

}  // namespace orvel
