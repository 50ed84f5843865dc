#include "analysis/star_position.h"

#include <algorithm>

#include "analysis/pixel_spike.h"
#include "analysis/star_peaks.h"
#include "base/numeric.h"

namespace orvel {

namespace {

// Brightest pixel of the star's own part of the square, row by row: a strict comparison keeps
// the first of equal maxima. A spike is no star's light: a cosmic ray or hot pixel above the
// star's peak would take the aperture; nor is a brighter neighbour's light the star's.
template <typename Owned>
void findBrightest(const PixelImage& image, const SearchSquare& sq, const SkyReference& sky,
                   Owned owned, StarPosition& star) {
    for (long long row = sq.firstRow; row <= sq.lastRow; ++row) {
        for (long long column = sq.firstColumn; column <= sq.lastColumn; ++column) {
            const float v = image.at(column, row);
            if (v > star.brightestValue && owned(column, row) &&
                !isSpike(image, column, row, sky)) {
                star.brightestValue = v;
                star.brightestColumn = static_cast<int>(column);
                star.brightestRow = static_cast<int>(row);
            }
        }
    }
}

// Centroid with every pixel weighted by its value above the background, no threshold: pixels
// below the background pull with negative weight.
void findCentroid(const PixelImage& image, const SearchSquare& sq, float background,
                  StarPosition& star) {
    float s = 0.0f;
    float sx = 0.0f;
    float sy = 0.0f;
    for (long long row = sq.firstRow; row <= sq.lastRow; ++row) {
        for (long long column = sq.firstColumn; column <= sq.lastColumn; ++column) {
            const double w = static_cast<double>(image.at(column, row)) - background;
            // Sums are rounded to 32 bits after every addition.
            s = f32(s + w);
            sx = f32(sx + w * static_cast<double>(column));
            sy = f32(sy + w * static_cast<double>(row));
        }
    }
    star.centroidColumn = f32(static_cast<double>(sx) / s);
    star.centroidRow = f32(static_cast<double>(sy) / s);
}

}  // namespace

SearchSquare searchSquare(const StarSelection& selection, int columns, int rows) {
    SearchSquare sq;
    const double sf = selection.screenFactor;
    // The click was made in the reduced picture: scale it back to image column and row.
    sq.clickColumn = toInt(sf * selection.starX);
    sq.clickRow = toInt(sf * selection.starY);
    // The square matches the circle drawn about the click: radius x sf image pixels, spanning
    // round(centre - h) to round(centre + h); reads stay inside the image.
    const double half = sf * selection.radius;
    const double xs = static_cast<double>(sq.clickColumn);  // within the int range: exact
    const double ys = static_cast<double>(sq.clickRow);
    sq.firstColumn = std::max<long long>(toInt(xs - half), 0);
    sq.lastColumn = std::min<long long>(toInt(xs + half), columns - 1LL);
    sq.firstRow = std::max<long long>(toInt(ys - half), 0);
    sq.lastRow = std::min<long long>(toInt(ys + half), rows - 1LL);
    return sq;
}

StarPosition locateStar(const PixelImage& image, const StarSelection& selection,
                        float backgroundLevel, double backgroundNoise) {
    const SearchSquare sq = searchSquare(selection, image.columns, image.rows);
    StarPosition star;
    star.clickColumn = static_cast<int>(sq.clickColumn);
    star.clickRow = static_cast<int>(sq.clickRow);
    star.brightestColumn = star.clickColumn;
    star.brightestRow = star.clickRow;
    const SkyReference sky{backgroundLevel, backgroundNoise};
    // The star is the one nearest the click (or where it was followed to), not the brightest
    // light in the square.
    const std::vector<PatchStar> stars = brightPatchStars(
        findPatchStars(image,
                       {static_cast<int>(sq.firstRow), static_cast<int>(sq.lastRow),
                        static_cast<int>(sq.firstColumn), static_cast<int>(sq.lastColumn)},
                       sky),
        kFaintestStarShare);
    const int chosen = nearestPatchStar(stars, static_cast<double>(sq.clickColumn),
                                        static_cast<double>(sq.clickRow));
    findBrightest(
        image, sq, sky,
        [&](long long c, long long r) { return chosen < 0 || nearestToStar(stars, chosen, c, r); },
        star);
    // Stars come highest first: another before the chosen one is brighter.
    star.brighterStarNear = chosen > 0;
    findCentroid(image, sq, backgroundLevel, star);
    return star;
}

}  // namespace orvel
