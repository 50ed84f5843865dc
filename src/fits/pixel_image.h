// One frame's pixel values after BSCALE and BZERO.
#pragma once

#include <algorithm>
#include <cstddef>

#include "base/pixel_buffer.h"

namespace orvel {

// A rectangle of image pixels: rows and columns, first and last (inclusive), image pixels.
struct PixelRegion {
    int firstRow = 0;
    int lastRow = -1;
    int firstColumn = 0;
    int lastColumn = -1;
};

struct PixelImage;

// The region within `reach` pixels of (column, row) along both axes that lies inside the image
// (empty, last before first, when none does).
PixelRegion regionAbout(const PixelImage& image, long long column, long long row, long long reach);

struct PixelImage {
    int columns = 0;      // pixels per row of the whole image
    int rows = 0;         // number of rows of the whole image
    PixelValues pixels;   // the pixels held, row by row, column fastest, from firstRow on; values
                          // are set by whoever sizes the image (no zeros first)
    int firstRow = 0;     // image row held at pixels[0]; 0 for a whole image, more for a
                          // window of rows read around a region to be measured
    int firstColumn = 0;  // image column held first in each row; 0 for whole rows
    int heldColumns = 0;  // pixels held per row for a window of columns; 0 for whole rows

    bool contains(long long column, long long row) const {
        return column >= 0 && row >= 0 && column < columns && row < rows;
    }
    // Pixels held per row: the window's width, or the whole row's.
    int rowLength() const { return heldColumns > 0 ? heldColumns : columns; }
    // Whether the row's pixels are held (always, for a whole image).
    bool holdsRow(long long row) const {
        const long long length = rowLength();
        const long long held = length > 0 ? static_cast<long long>(pixels.size()) / length : 0;
        return row >= firstRow && row < firstRow + held;
    }
    // Whether the column lies in the window of columns held (always, for whole rows).
    bool holdsColumn(long long column) const {
        return column >= firstColumn && column < static_cast<long long>(firstColumn) + rowLength();
    }
    // Pixel (column, row) of the image; the row and the column must be held.
    float at(long long column, long long row) const { return pixels[index(column, row)]; }
    float& at(long long column, long long row) { return pixels[index(column, row)]; }

  private:
    std::size_t index(long long column, long long row) const {
        return static_cast<std::size_t>(row - firstRow) * static_cast<std::size_t>(rowLength()) +
               static_cast<std::size_t>(column - firstColumn);
    }
};

inline PixelRegion regionAbout(const PixelImage& image, long long column, long long row,
                               long long reach) {
    const auto clamp = [](long long v, long long hi) {
        return static_cast<int>(std::max(-1LL, std::min(v, hi)));
    };
    return {clamp(std::max(row - reach, 0LL), image.rows), clamp(row + reach, image.rows - 1LL),
            clamp(std::max(column - reach, 0LL), image.columns),
            clamp(column + reach, image.columns - 1LL)};
}

}  // namespace orvel
