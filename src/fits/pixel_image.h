// One frame's pixel values after BSCALE and BZERO.
#pragma once

#include <cstddef>

#include "base/pixel_buffer.h"

namespace orvel {

struct PixelImage {
    int columns = 0;     // pixels per row of the whole image
    int rows = 0;        // number of rows of the whole image
    PixelValues pixels;  // the rows held, column fastest, from firstRow on; values are
                         // set by whoever sizes the image (no zeros first)
    int firstRow = 0;    // image row held at pixels[0]; 0 for a whole image, more for a
                         // window of rows read around a region to be measured

    bool contains(long long column, long long row) const {
        return column >= 0 && row >= 0 && column < columns && row < rows;
    }
    // Whether the row's pixels are held (always, for a whole image).
    bool holdsRow(long long row) const {
        const long long held = columns > 0 ? static_cast<long long>(pixels.size()) / columns : 0;
        return row >= firstRow && row < firstRow + held;
    }
    // Pixel (column, row) of the image; the row must be one held.
    float at(long long column, long long row) const { return pixels[index(column, row)]; }
    float& at(long long column, long long row) { return pixels[index(column, row)]; }

  private:
    std::size_t index(long long column, long long row) const {
        return static_cast<std::size_t>(row - firstRow) * static_cast<std::size_t>(columns) +
               static_cast<std::size_t>(column);
    }
};

}  // namespace orvel
