#include "analysis/star_position.h"

#include <algorithm>

#include "run/numeric.h"

namespace orvel {

namespace {

// Rows and columns of the search square, already limited to the image.
struct SearchSquare {
    int firstColumn = 0;
    int lastColumn = -1;
    int firstRow = 0;
    int lastRow = -1;
};

SearchSquare searchSquare(const PixelImage& image, int xs, int ys, double halfSize) {
    SearchSquare sq;
    // The square spans round(centre - h) to round(centre + h); reads stay inside the image.
    sq.firstColumn = std::max(toInt(xs - halfSize), 0);
    sq.lastColumn = std::min(toInt(xs + halfSize), image.columns - 1);
    sq.firstRow = std::max(toInt(ys - halfSize), 0);
    sq.lastRow = std::min(toInt(ys + halfSize), image.rows - 1);
    return sq;
}

// Brightest pixel, row by row: a strict comparison keeps the first of equal maxima.
void findBrightest(const PixelImage& image, const SearchSquare& sq, StarPosition& star) {
    for (int row = sq.firstRow; row <= sq.lastRow; ++row) {
        for (int column = sq.firstColumn; column <= sq.lastColumn; ++column) {
            const float v = image.at(column, row);
            if (v > star.brightestValue) {
                star.brightestValue = v;
                star.brightestColumn = column;
                star.brightestRow = row;
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
    for (int row = sq.firstRow; row <= sq.lastRow; ++row) {
        for (int column = sq.firstColumn; column <= sq.lastColumn; ++column) {
            const double w = static_cast<double>(image.at(column, row)) - background;
            // Sums are rounded to 32 bits after every addition.
            s = f32(s + w);
            sx = f32(sx + w * column);
            sy = f32(sy + w * row);
        }
    }
    star.centroidColumn = f32(static_cast<double>(sx) / s);
    star.centroidRow = f32(static_cast<double>(sy) / s);
}

}  // namespace

StarPosition locateStar(const PixelImage& image, const StarSelection& selection,
                        float backgroundLevel, RunLog& log) {
    StarPosition star;
    const double sf = selection.screenFactor;
    // The click was made in the reduced picture: scale it back to image column and row.
    star.clickColumn = toInt(sf * selection.starX);
    star.clickRow = toInt(sf * selection.starY);
    star.brightestColumn = star.clickColumn;
    star.brightestRow = star.clickRow;
    // The search square matches the circle drawn about the click: radius x sf image pixels.
    const SearchSquare sq =
        searchSquare(image, star.clickColumn, star.clickRow, sf * selection.radius);
    findBrightest(image, sq, star);
    log.end().line("Target star position in original image by brightest pixel:");
    log.text("   COLUMN = ").num(star.brightestColumn).end();
    log.text("      ROW = ").num(star.brightestRow).end();
    log.text("Maximum pixel DC = ").num(star.brightestValue).end();
    findCentroid(image, sq, backgroundLevel, star);
    log.line("Target star position in original image by centroid method:");
    log.text("   COLUMN = ").num(star.centroidColumn).end();
    log.text("      ROW = ").num(star.centroidRow).end();
    return star;
}

BackgroundAndStar measureBackgroundAndStar(const PixelImage& image, const StarSelection& selection,
                                           RunLog& log) {
    BackgroundAndStar result;
    result.background = measureBackground(image, selection, log);
    result.star = locateStar(image, selection, result.background.median, log);
    return result;
}

}  // namespace orvel
