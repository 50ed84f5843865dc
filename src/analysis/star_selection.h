// The star and background picks made on the first image, applied to every image.
#pragma once

namespace orvel {

struct StarSelection {
    float starX = 0.0f;        // confirmed star click, window pixels (image column / screen factor)
    float starY = 0.0f;        // confirmed star click, window pixels (image row / screen factor)
    float radius = 10.0f;      // circle radius, window pixels; search half-size is radius x sf
    float backgroundX = 0.0f;  // confirmed background click, window pixels
    float backgroundY = 0.0f;
    float x1 = 0.0f;  // background rectangle in image pixels, x1 <= x2, y1 <= y2,
    float y1 = 0.0f;  // centred on the click times the screen factor, half-sizes
    float x2 = 0.0f;  // NAXIS1/50 and NAXIS2/50, limited to 1..NAXIS1 and 1..NAXIS2
    float y2 = 0.0f;
    float screenFactor = 1.0f;  // whole-number reduction between image and window pixels
};

// The background rectangle in image pixels for the background click: centred on the click
// times the screen factor, half-sizes columns/50 and rows/50, each corner limited on its own
// side to 1..columns and 1..rows.
void placeBackgroundRectangle(StarSelection& selection, int columns, int rows);

}  // namespace orvel
