#include "dialogue/first_image.h"

#include <algorithm>

#include "analysis/image_statistics.h"
#include "base/numeric.h"

namespace orvel {

bool showFirstImage(GraphicsWindow& window, const PixelImage& image, float p1, float p999, int sf,
                    std::string_view caption) {
    const double width = static_cast<double>(image.columns) / sf;
    const double height = static_cast<double>(image.rows) / sf;
    // A frame narrower or lower than the screen factor still gets a window of one pixel.
    if (!window.create(caption, 0, 0, std::max(1, toInt(width)), std::max(1, toInt(height))))
        return false;
    window.attach(DrawMode::buffered);
    window.clear({0, 0, 0});
    // Decimation without averaging: window pixel (x, y) shows image pixel (sf*x, sf*y), so only
    // the pixels shown are stretched.
    for (int row = 0; row < image.rows; row += sf) {
        for (int column = 0; column < image.columns; column += sf) {
            const std::size_t k = static_cast<std::size_t>(row) * image.columns + column;
            const int g = toInt(greyLevel(image.pixels[k], p1, p999));
            window.setPixel(static_cast<double>(column) / sf, static_cast<double>(row) / sf,
                            {g, g, g});
        }
    }
    window.redraw();
    return true;
}

}  // namespace orvel
