// The field: the first frame as stretched for the window, cropped about the star, with the
// aperture, the sky annulus and the background rectangle of the first frame drawn and labelled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/star_selection.h"
#include "fits/pixel_image.h"
#include "night/night_record.h"

namespace orvel {

// Image pixels kept about the star pick on each side (the annulus of a ring radius up to 42).
inline constexpr int kFieldHalfSize = 60;
// The scale bar's length, image pixels.
inline constexpr int kScaleBarPixels = 10;

// The grey levels of a rectangle of the first frame, as the window shows them.
struct FieldCrop {
    int column0 = 0;  // image column of the crop's first column
    int row0 = 0;     // image row of its first row
    int columns = 0;  // size, image pixels
    int rows = 0;
    std::vector<std::uint8_t> grey;  // 0..255, row by row, column fastest
};

// The crop holding kFieldHalfSize pixels about the star pick and the whole background
// rectangle, limited to the image's rows that are held, stretched between the cuts p1 and p999.
FieldCrop fieldCrop(const PixelImage& image, const StarSelection& selection, float p1, float p999);

// The PNG image of the crop, enlarged by a whole factor to about 700 points, with the first
// measured frame's aperture (red), annulus (cyan), background rectangle (orange) and a scale
// bar of kScaleBarPixels (yellow). Empty when no frame was measured.
std::string fieldPicture(const FieldCrop& crop, const NightRecord& night);

}  // namespace orvel
