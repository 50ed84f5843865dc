#include "picture/field_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "analysis/image_statistics.h"
#include "picture/canvas.h"

namespace orvel {

namespace {

constexpr double kHeader = 56.0;   // title strip above the picture, points
constexpr double kTarget = 700.0;  // about this many points across for the crop
constexpr double kFooter = 36.0;   // strip below the picture for the scale bar, points

struct Placement {
    double zoom = 1.0;  // points per image pixel
    int column0 = 0;
    int row0 = 0;
    // The picture point of an image pixel's centre.
    double x(double column) const { return (column - column0 + 0.5) * zoom; }
    double y(double row) const { return kHeader + (row - row0 + 0.5) * zoom; }
};

// The crop painted pixel by pixel, each an enlarged square without smoothing.
void paintCrop(Canvas& c, const FieldCrop& crop, double zoom) {
    cairo_surface_t* image =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, crop.columns, crop.rows);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int r = 0; r < crop.rows; ++r)
        for (int col = 0; col < crop.columns; ++col) {
            const std::uint8_t g = crop.grey[static_cast<std::size_t>(r) * crop.columns + col];
            auto* px = reinterpret_cast<std::uint32_t*>(data + r * stride) + col;
            *px = 0xff000000u | (std::uint32_t{g} << 16) | (std::uint32_t{g} << 8) | g;
        }
    cairo_surface_mark_dirty(image);
    cairo_t* cr = c.context();
    cairo_save(cr);
    cairo_translate(cr, 0, kHeader);
    cairo_scale(cr, zoom, zoom);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);
}

void circle(Canvas& c, double x, double y, double radius, Colour colour) {
    cairo_t* cr = c.context();
    c.setColour(colour);
    cairo_set_line_width(cr, 2.0);
    cairo_new_sub_path(cr);
    cairo_arc(cr, x, y, radius, 0, 2 * std::numbers::pi);
    cairo_stroke(cr);
}

// A label on a dark box so that it reads on any part of the frame; one that would leave the
// picture on the right ends at `fallback` instead.
void label(Canvas& c, const std::string& text, double x, double y, Colour colour,
           double fallback = -1) {
    TextItem item{text, x, y, 13, Anchor::left, true};
    const auto [w, h] = c.measure(item);
    if (x + w + 4 > c.width() && fallback >= 0) item.x = x = std::max(4.0, fallback - w);
    c.setColour({0, 0, 0});
    cairo_rectangle(c.context(), x - 3, y - 1, w + 6, h + 2);
    cairo_fill(c.context());
    c.setColour(colour);
    c.text(item);
}

// A radius as the labels show it: whole pixels as integers, others to four digits.
std::string radiusText(double radius) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", radius);
    return text;
}

void drawMarks(Canvas& c, const Placement& p, const FrameRecord& first, const StarSelection& s) {
    const FrameMeasurement& m = *first.measurement;
    // A colour mosaic's frame is measured in super-pixels: drawn in the frame's own pixels.
    const double cx = p.x(fullFramePlace(first, m.star.brightestColumn));
    const double cy = p.y(fullFramePlace(first, m.star.brightestRow));
    const double scale = framePixelScale(first);
    const double aperture = m.rings.innerRadius * scale;
    const double inner = m.rings.annulusInner * scale, outer = m.rings.annulusOuter * scale;
    circle(c, cx, cy, aperture * p.zoom, {1, 0, 0});
    // A fixed aperture's annulus may start beyond it.
    if (inner != aperture) circle(c, cx, cy, inner * p.zoom, {0, 1, 1});
    circle(c, cx, cy, outer * p.zoom, {0, 1, 1});
    const double right = cx + outer * p.zoom + 8, left = cx - outer * p.zoom - 8;
    label(c, "aperture r = " + radiusText(aperture) + " px", right, cy - 26, {1, 0.3, 0.3}, left);
    label(c, "sky annulus " + radiusText(inner) + "\u2013" + radiusText(outer) + " px", right,
          cy + 2, {0, 1, 1}, left);
    // The rectangle's corner pixels, whole, as the background is taken from them.
    const double x1 = std::trunc(s.x1), y1 = std::trunc(s.y1);
    const double x2 = std::trunc(s.x2), y2 = std::trunc(s.y2);
    c.setColour({1, 0.55, 0});
    cairo_set_line_width(c.context(), 2.0);
    cairo_rectangle(c.context(), p.x(x1) - p.zoom / 2, p.y(y1) - p.zoom / 2, (x2 - x1 + 1) * p.zoom,
                    (y2 - y1 + 1) * p.zoom);
    cairo_stroke(c.context());
    // Below the rectangle, or above it when the picture ends there.
    const double below = p.y(y2) + p.zoom / 2 + 4;
    const double y = below + 18 < c.height() - kFooter ? below : p.y(y1) - p.zoom / 2 - 20;
    label(c, "background", p.x(x1) - p.zoom / 2, std::max(y, kHeader), {1, 0.55, 0});
}

// The scale bar on a dark strip below the picture, where it covers none of the frame.
void drawScaleBar(Canvas& c, double zoom, double bottom) {
    c.setColour({0, 0, 0});
    cairo_rectangle(c.context(), 0, bottom - kFooter, c.width(), kFooter);
    cairo_fill(c.context());
    const double length = kScaleBarPixels * zoom;
    c.setColour({1, 1, 0});
    cairo_rectangle(c.context(), 16, bottom - 22, length, 5);
    cairo_fill(c.context());
    label(c, std::to_string(kScaleBarPixels) + " px", 24 + length, bottom - 27, {1, 1, 0});
}

}  // namespace

FieldCrop fieldCrop(const PixelImage& image, const StarSelection& s, float p1, float p999) {
    const double sf = s.screenFactor;
    const double starColumn = s.starX * sf, starRow = s.starY * sf;
    // The crop spans the star's surroundings and the whole background rectangle.
    const double left = std::min(starColumn - kFieldHalfSize, static_cast<double>(s.x1));
    const double right = std::max(starColumn + kFieldHalfSize, static_cast<double>(s.x2));
    const double top = std::min(starRow - kFieldHalfSize, static_cast<double>(s.y1));
    const double bottom = std::max(starRow + kFieldHalfSize, static_cast<double>(s.y2));
    FieldCrop crop;
    crop.column0 = std::clamp(static_cast<int>(std::floor(left)), 0, image.columns - 1);
    crop.row0 = std::clamp(static_cast<int>(std::floor(top)), 0, image.rows - 1);
    const int lastColumn = std::clamp(static_cast<int>(std::ceil(right)), 0, image.columns - 1);
    int lastRow = std::clamp(static_cast<int>(std::ceil(bottom)), 0, image.rows - 1);
    while (crop.row0 < lastRow && !image.holdsRow(crop.row0)) ++crop.row0;
    while (lastRow > crop.row0 && !image.holdsRow(lastRow)) --lastRow;
    if (!image.holdsRow(crop.row0)) return {};
    crop.columns = lastColumn - crop.column0 + 1;
    crop.rows = lastRow - crop.row0 + 1;
    for (int r = crop.row0; r <= lastRow; ++r)
        for (int col = crop.column0; col <= lastColumn; ++col)
            crop.grey.push_back(static_cast<std::uint8_t>(
                std::lround(std::clamp(greyLevel(image.at(col, r), p1, p999), 0.0f, 255.0f))));
    return crop;
}

std::string fieldPicture(const FieldCrop& crop, const NightRecord& night) {
    const auto first = std::find_if(night.frames.begin(), night.frames.end(),
                                    [](const FrameRecord& f) { return f.measured(); });
    if (first == night.frames.end() || crop.columns <= 0 || crop.rows <= 0) return {};
    Placement p;
    // A whole enlargement keeps every image pixel a square of the same size.
    p.zoom = std::max(1.0, std::floor(kTarget / std::max(crop.columns, crop.rows)));
    p.column0 = crop.column0;
    p.row0 = crop.row0;
    const int width = std::max(520, static_cast<int>(crop.columns * p.zoom));
    const int height = static_cast<int>(kHeader + crop.rows * p.zoom + kFooter);
    Canvas c(PictureFormat::png, width, height);
    c.setColour({0, 0, 0});
    c.text(
        {"First frame " + first->name + ", as shown for the picks", 10, 8, 15, Anchor::left, true});
    c.text({"image columns " + std::to_string(crop.column0) + "\u2013" +
                std::to_string(crop.column0 + crop.columns - 1) + ", rows " +
                std::to_string(crop.row0) + "\u2013" + std::to_string(crop.row0 + crop.rows - 1),
            10, 30, 12});
    paintCrop(c, crop, p.zoom);
    drawMarks(c, p, *first, night.selection);
    drawScaleBar(c, p.zoom, height);
    return c.finish();
}

}  // namespace orvel
