// The star near the user's click: brightest pixel (the ring centre) and centroid.
#pragma once

#include "analysis/background.h"
#include "analysis/star_selection.h"
#include "fits/pixel_image.h"
#include "run/run_log.h"

namespace orvel {

struct StarPosition {
    int clickColumn = 0;               // xs = round(sf x star x), image column of the click
    int clickRow = 0;                  // ys = round(sf x star y), image row of the click
    int brightestColumn = 0;           // column of the brightest pixel in the search square (the
                                       // click column when no pixel exceeds -64000)
    int brightestRow = 0;              // row of the brightest pixel (the click row when none)
    float brightestValue = -64000.0f;  // brightest pixel value, DC
    float centroidColumn = 0.0f;       // background-subtracted intensity-weighted column, pixels
    float centroidRow = 0.0f;          // background-subtracted intensity-weighted row, pixels
};

// Searches the square of half-size radius x sf image pixels about the click (clipped to the
// image) for the brightest pixel, computes the centroid over the same square with the
// background level subtracted, and logs both.
StarPosition locateStar(const PixelImage& image, const StarSelection& selection,
                        float backgroundLevel, RunLog& log);

// Background and star of one file, measured in this order.
struct BackgroundAndStar {
    BackgroundStats background;  // background rectangle statistics; median = background level
    StarPosition star;           // brightest pixel (ring centre) and centroid
};

BackgroundAndStar measureBackgroundAndStar(const PixelImage& image, const StarSelection& selection,
                                           RunLog& log);

}  // namespace orvel
