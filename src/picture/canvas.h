// A drawing surface for the pictures beside the log: PNG, SVG or PDF, drawn with cairo and
// lettered with pango. SVG keeps every text item also as a <text> element, so the labels and
// values can be searched and read back from the file.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/raster.h"

namespace orvel {

enum class PictureFormat { png, svg, pdf };

// The format a file name asks for by its ending (.png, .svg, .pdf, any letter case); empty for
// any other name.
std::optional<PictureFormat> pictureFormatOf(const std::filesystem::path& path);

// A colour with components 0..1.
struct Colour {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
};

// Where a text item's given point lies on it.
enum class Anchor { left, centre, right };

// One text item as drawn: points of the picture (pixels in PNG).
struct TextItem {
    std::string text;    // UTF-8
    double x = 0.0;      // anchor point, from the left edge
    double y = 0.0;      // top of the text, from the top edge
    double size = 12.0;  // font size, points
    Anchor anchor = Anchor::left;
    bool bold = false;
    bool vertical = false;  // turned a quarter anticlockwise (read from bottom to top); then x
                            // is the left of the text and y its centre along the page
};

class Canvas {
  public:
    Canvas(PictureFormat format, int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* context() { return cr_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void setColour(Colour c);
    // Draws the text in the current colour and returns its width and height in points.
    std::pair<double, double> text(const TextItem& item);
    // Width and height the text would take, without drawing it.
    std::pair<double, double> measure(const TextItem& item);

    // The pixels drawn so far, for a PNG canvas (empty for the other formats).
    Raster pixels();

    // Ends the drawing and returns the file's bytes (empty when cairo failed).
    std::string finish();

  private:
    PictureFormat format_;
    int width_;
    int height_;
    std::string bytes_;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* cr_ = nullptr;
    std::vector<TextItem> texts_;  // every text drawn, for the SVG text layer
};

// Text made safe inside XML and HTML: & < > and " as their entities.
std::string xmlEscaped(const std::string& text);

// Writes the bytes to the file; false when nothing was drawn or the file cannot be written.
bool writePicture(const std::string& bytes, const std::filesystem::path& path);

}  // namespace orvel
