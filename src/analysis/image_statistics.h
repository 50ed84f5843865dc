// Statistics of the first image, its grey levels for display and the screen factor that fits it
// on the desktop.
#pragma once

#include <cstdint>
#include <vector>

#include "fits/fits_file.h"
#include "fits/image_header.h"
#include "fits/pixel_image.h"

namespace orvel {

struct FirstImageStats {
    std::int64_t pixelCount = 0;     // N = columns x rows, pixels
    std::int64_t includedCount = 0;  // n = pixels neither exactly 0 nor NaN, pixels
    float largest = -64000.0f;       // largest included value, DC (-64000 when none is larger)
    float smallest = 64000.0f;       // smallest included value, DC (64000 when none is smaller)
    float mean = 0.0f;               // sum / n, DC (NaN when n = 0)
    float variance = 0.0f;           // population variance, DC squared
    float standardDeviation = 0.0f;  // square root of the variance, DC; a negative variance as is
    float median = 0.0f;             // median of the included values, DC (0 when n = 0)
    float p1 = 0.0f;                 // 1 percentile (low display cut), DC
    float p999 = 0.0f;               // 99.9 percentile (high display cut), DC
};

// Describes the non-zero pixels of the first image. Makes no copy of the pixels: the sums and
// the order statistics run side by side.
FirstImageStats analyseFirstImage(const PixelImage& image);

// The first image read whole, with its statistics.
struct DescribedImage {
    std::int64_t samples = -1;  // readPixels' result: whole samples read, -1 when not decoded
    FirstImageStats stats;      // analyseFirstImage's figures (when samples >= 0)
};

// Reads the image whole (readPixels) and describes it (analyseFirstImage) with the same
// figures. On a large image the running sums follow the decoder piece by piece on a second
// thread, so that only the order statistics are left once the last piece is decoded.
DescribedImage readAndDescribeImage(const FitsFile& file, const ImageHeader& header,
                                    PixelImage& image);

// Grey level 0..255 of a pixel value on the display, a linear stretch between the cuts p1 and
// p999; NaN is white.
float greyLevel(float v, float p1, float p999);

// Whole-number reduction that fits the image on the desktop.
struct ScreenFactor {
    int desktopsSpanned = 0;  // larger of columns/width and rows/height, truncated (the logged
                              // value); 0 for a desktop size of 0 or less in either direction
    int factor = 1;           // desktopsSpanned + 1, image pixels per window pixel
};
ScreenFactor screenFactor(int columns, int rows, int desktopWidth, int desktopHeight);

}  // namespace orvel
