// The drawing surface shared by every window: a 24-bit picture with the program's primitives,
// so that what is shown and what is saved are the same bytes on every platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvel {

// A colour; components outside 0..255 are clamped when drawn.
struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class Raster {
  public:
    Raster() = default;
    Raster(int width, int height, Rgb fill = {0, 0, 0});

    int width() const { return width_; }
    int height() const { return height_; }
    // Pixel (x, y), origin top-left; black outside the surface.
    Rgb pixel(int x, int y) const;

    // Primitives in whole pixels; anything outside the surface is clipped away.
    void fill(Rgb colour);
    void setPixel(int x, int y, Rgb colour);
    void line(int x1, int y1, int x2, int y2, Rgb colour);
    // Rectangle with opposite corners in any order; outline, and a solid fill when given.
    void box(int x1, int y1, int x2, int y2, Rgb outline, std::optional<Rgb> fill);
    // Ellipse inscribed in the rectangle with these corners; outline, and fill when given.
    void ellipse(int x1, int y1, int x2, int y2, Rgb outline, std::optional<Rgb> fill);

    // Copies the other picture with its top-left corner at (left, top); what falls outside
    // this surface is clipped away.
    void paste(const Raster& from, int left, int top);

    // Rows top to bottom, 3 bytes per pixel in R, G, B order (for presenting on screen).
    const std::vector<std::uint8_t>& rgbBytes() const { return rgb_; }

    // The 24-bit BMP file image: 54-byte header, bottom row first, BGR, rows padded to 4 bytes.
    std::string bmpBytes() const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
};

}  // namespace orvel
