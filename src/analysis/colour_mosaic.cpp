#include "analysis/colour_mosaic.h"

#include <algorithm>
#include <string>

#include "base/numeric.h"

namespace orvel {

std::optional<MosaicLayout> mosaicLayout(std::string_view pattern, int xOffset, int yOffset) {
    std::string name;
    for (const char c : pattern)
        if (c != ' ') name += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (name != "RGGB" && name != "BGGR" && name != "GRBG" && name != "GBRG") return std::nullopt;
    // An odd offset moves the pattern by one pixel along its axis.
    const int dx = ((xOffset % 2) + 2) % 2;
    const int dy = ((yOffset % 2) + 2) % 2;
    MosaicLayout layout;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            layout.cell[static_cast<std::size_t>(2 * y + x)] =
                name[static_cast<std::size_t>(2 * ((y + dy) % 2) + (x + dx) % 2)];
    return layout;
}

void superPixels(const PixelImage& full, const MosaicLayout& layout, char colour,
                 PixelRegion region, PixelImage& out) {
    out.columns = full.columns / 2;
    out.rows = full.rows / 2;
    const int first = std::max(region.firstRow, 0);
    const int last = std::min(region.lastRow, out.rows - 1);
    const int left = std::max(region.firstColumn, 0);
    const int right = std::min(region.lastColumn, out.columns - 1);
    out.firstRow = first;
    out.firstColumn = left;
    out.heldColumns = std::max(right - left + 1, 0);
    out.pixels.assign(static_cast<std::size_t>(std::max(last - first + 1, 0)) *
                          static_cast<std::size_t>(out.heldColumns),
                      0.0f);
    // The cell's pixels of this colour: one for red and blue, two for green.
    std::array<int, 2> places{};
    int count = 0;
    for (int i = 0; i < 4; ++i)
        if (layout.cell[static_cast<std::size_t>(i)] == colour && count < 2)
            places[static_cast<std::size_t>(count++)] = i;
    if (count == 0) return;
    for (int row = first; row <= last; ++row) {
        for (int column = left; column <= right; ++column) {
            double sum = 0.0;
            for (int p = 0; p < count; ++p) {
                const int at = places[static_cast<std::size_t>(p)];
                sum += full.at(2 * column + at % 2, 2 * row + at / 2);
            }
            out.at(column, row) = f32(sum / count);
        }
    }
}

}  // namespace orvel
