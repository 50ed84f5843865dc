#include "picture/lettered_line.h"

#include <string>

#include "picture/canvas.h"

namespace orvel {

namespace {

constexpr double kMargin = 6.0;  // pixels of paper left of the text

Colour colourOf(Rgb c) {
    return {c.r / 255.0, c.g / 255.0, c.b / 255.0};
}

}  // namespace

Raster letteredLine(std::string_view text, int width, int height, double size, Rgb ink, Rgb paper) {
    Raster strip(width, height, paper);
    if (width < 1 || height < 1) return strip;
    Canvas canvas(PictureFormat::png, width, height);
    // The canvas starts white: the strip's own paper goes under the text.
    canvas.setColour(colourOf(paper));
    cairo_rectangle(canvas.context(), 0, 0, width, height);
    cairo_fill(canvas.context());
    canvas.setColour(colourOf(ink));
    TextItem item{std::string(text), kMargin, 0.0, size};
    item.y = (height - canvas.measure(item).second) / 2;
    canvas.text(item);
    Raster drawn = canvas.pixels();
    if (drawn.width() != width || drawn.height() != height) return strip;
    return drawn;
}

}  // namespace orvel
