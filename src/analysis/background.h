// Sky background inside the background rectangle of the selection.
#pragma once

#include "analysis/star_selection.h"
#include "fits/pixel_image.h"

namespace orvel {

struct BackgroundStats {
    int planned = 0;                 // n = round((y2 - y1) x trunc(x2 - x1)), pixels to take
    int taken = 0;                   // pixels actually taken (fewer when the rectangle leaves
                                     // the image)
    float largest = -64000.0f;       // largest value taken, DC (-64000 when none is larger)
    float smallest = 64000.0f;       // smallest value taken, DC (64000 when none is smaller)
    float mean = 0.0f;               // sum / taken, DC (NaN when nothing was taken)
    float standardDeviation = 0.0f;  // population form, DC; a negative variance as is
    float median = 0.0f;             // background level B, DC (0 when nothing was taken)
};

// Takes the first n pixels of the background rectangle (image pixels, rows trunc(y1)..trunc(y2),
// columns trunc(x1)..trunc(x2), row by row), leaving out pixels outside the image, and
// returns their statistics. The median is the file's background level.
BackgroundStats measureBackground(const PixelImage& image, const StarSelection& selection);

}  // namespace orvel
