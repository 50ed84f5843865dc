// The star near the user's click: its brightest pixel (the ring centre) and centroid.
#pragma once

#include "analysis/star_selection.h"
#include "fits/pixel_image.h"

namespace orvel {

// The square searched for the star, in image pixels, already limited to the image (empty when
// firstColumn > lastColumn or firstRow > lastRow). Wide integers: a pick may lie far outside.
struct SearchSquare {
    long long clickColumn = 0;  // xs = round(sf x star x), image column of the click
    long long clickRow = 0;     // ys = round(sf x star y), image row of the click
    long long firstColumn = 0;  // round(xs - h) limited to 0, h = radius x sf
    long long lastColumn = -1;  // round(xs + h) limited to columns - 1
    long long firstRow = 0;     // round(ys - h) limited to 0
    long long lastRow = -1;     // round(ys + h) limited to rows - 1
};

// The search square of the selection in an image of columns x rows: the square of half-size
// radius x sf image pixels about the click scaled back to image pixels, the circle drawn about
// the click.
SearchSquare searchSquare(const StarSelection& selection, int columns, int rows);

struct StarPosition {
    int clickColumn = 0;               // xs = round(sf x star x), image column of the click
    int clickRow = 0;                  // ys = round(sf x star y), image row of the click
    int brightestColumn = 0;           // column of the brightest pixel in the search square that
                                       // is no single-pixel spike (the click column when no
                                       // pixel exceeds -64000)
    int brightestRow = 0;              // row of the brightest pixel (the click row when none)
    float brightestValue = -64000.0f;  // brightest pixel value, DC
    float centroidColumn = 0.0f;       // background-subtracted intensity-weighted column, pixels
    float centroidRow = 0.0f;          // background-subtracted intensity-weighted row, pixels
    bool brighterStarNear = false;     // a star brighter than the one taken lies in the square
};

// Searches the search square for the brightest pixel of the star nearest the click (see
// findPatchStars: a brighter neighbour's light is passed over), passing over single-pixel spikes
// (cosmic rays, hot pixels: see isSpike, judged against the background level and its noise, DC),
// and
// computes the centroid over the same square with the background level (DC) subtracted. The
// image must hold the square's rows.
StarPosition locateStar(const PixelImage& image, const StarSelection& selection,
                        float backgroundLevel, double backgroundNoise = 0.0);

}  // namespace orvel
