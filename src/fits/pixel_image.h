// One frame's pixel values after BSCALE and BZERO.
#pragma once

#include <cstddef>
#include <vector>

namespace orvel {

struct PixelImage {
    int columns = 0;            // pixels per row
    int rows = 0;               // number of rows
    std::vector<float> pixels;  // columns x rows values, column fastest, row 0 first in the file

    bool contains(long long column, long long row) const {
        return column >= 0 && row >= 0 && column < columns && row < rows;
    }
    float at(long long column, long long row) const {
        return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                      static_cast<std::size_t>(column)];
    }
    float& at(long long column, long long row) {
        return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                      static_cast<std::size_t>(column)];
    }
};

}  // namespace orvel
