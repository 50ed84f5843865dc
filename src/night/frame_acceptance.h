// Which frames can take part, judged from their header before any pixel is read.
#pragma once

#include <string>

#include "fits/image_header.h"

namespace orvel {

// The frame size every later frame must share (the frames are co-registered).
struct ReferenceSize {
    bool known = false;  // set by the first usable frame
    int columns = 0;     // pixels per row
    int rows = 0;        // rows
};

// Why a frame with this header cannot take part, or empty when it can.
std::string headerProblem(const ImageHeader& header, const ReferenceSize& reference);

}  // namespace orvel
