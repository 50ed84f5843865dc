#include "platform/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace orvel {

namespace {

// Products of two coordinate differences can pass 2^63; 128 bits hold them exactly.
__extension__ typedef __int128 Wide;

std::uint8_t channel(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// Half-open range [lo, hi) of whole coordinates, already limited to the surface.
struct Span {
    std::int64_t lo = 0;  // first coordinate, pixels
    std::int64_t hi = 0;  // one past the last coordinate, pixels
};

// The part of [a, b] (inclusive, any order) that lies on [0, size).
Span visible(std::int64_t a, std::int64_t b, int size) {
    const std::int64_t lo = std::max<std::int64_t>(std::min(a, b), 0);
    const std::int64_t hi = std::min<std::int64_t>(std::max(a, b) + 1, size);
    return {lo, std::max(lo, hi)};
}

void putLE(std::string& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFFu);
    }
}

}  // namespace

Raster::Raster(int width, int height, Rgb fillColour)
    : width_(std::max(width, 0)), height_(std::max(height, 0)) {
    rgb_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3);
    fill(fillColour);
}

Rgb Raster::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const std::size_t at = (static_cast<std::size_t>(y) * width_ + x) * 3;
    return {rgb_[at], rgb_[at + 1], rgb_[at + 2]};
}

void Raster::fill(Rgb colour) {
    const std::uint8_t r = channel(colour.r), g = channel(colour.g), b = channel(colour.b);
    for (std::size_t at = 0; at < rgb_.size(); at += 3) {
        rgb_[at] = r;
        rgb_[at + 1] = g;
        rgb_[at + 2] = b;
    }
}

void Raster::paste(const Raster& from, int left, int top) {
    const Span cols = visible(left, static_cast<std::int64_t>(left) + from.width_ - 1, width_);
    const Span rows = visible(top, static_cast<std::int64_t>(top) + from.height_ - 1, height_);
    if (from.width_ == 0 || from.height_ == 0) return;
    const std::size_t bytes = static_cast<std::size_t>(cols.hi - cols.lo) * 3;
    for (std::int64_t y = rows.lo; y < rows.hi; ++y) {
        const std::size_t to = (static_cast<std::size_t>(y) * width_ + cols.lo) * 3;
        const std::size_t at =
            (static_cast<std::size_t>(y - top) * from.width_ + (cols.lo - left)) * 3;
        std::copy_n(from.rgb_.begin() + static_cast<std::ptrdiff_t>(at), bytes,
                    rgb_.begin() + static_cast<std::ptrdiff_t>(to));
    }
}

void Raster::setPixel(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const std::size_t at = (static_cast<std::size_t>(y) * width_ + x) * 3;
    rgb_[at] = channel(colour.r);
    rgb_[at + 1] = channel(colour.g);
    rgb_[at + 2] = channel(colour.b);
}

// Bresenham's line from the end point that comes first (smaller major coordinate), so that a
// line and its reverse cover the same pixels. Each pixel's minor coordinate is computed directly
// from its step number, which lets the walk start where the line enters the surface: the work
// is bounded by the surface size however far away the end points are.
void Raster::line(int x1, int y1, int x2, int y2, Rgb colour) {
    const bool xMajor = std::llabs(std::int64_t{x2} - x1) >= std::llabs(std::int64_t{y2} - y1);
    // Work in (major, minor) coordinates so one loop serves both orientations.
    std::int64_t m1 = xMajor ? x1 : y1, n1 = xMajor ? y1 : x1;
    std::int64_t m2 = xMajor ? x2 : y2, n2 = xMajor ? y2 : x2;
    if (m2 < m1) {
        std::swap(m1, m2);
        std::swap(n1, n2);
    }
    const std::int64_t steps = m2 - m1;  // major steps, >= 0
    const std::int64_t rise = n2 - n1;   // total minor change, |rise| <= steps
    const int majorSize = xMajor ? width_ : height_;
    // Only the steps whose major coordinate falls on the surface can show a pixel.
    const Span onSurface = visible(m1, m2, majorSize);
    for (std::int64_t m = onSurface.lo; m < onSurface.hi; ++m) {
        const std::int64_t k = m - m1;
        // Minor offset = k * rise / steps rounded to nearest, halves away from the start.
        std::int64_t offset = 0;
        if (steps > 0) {
            const Wide num = Wide{2} * k * (rise < 0 ? -rise : rise) + steps;
            offset = static_cast<std::int64_t>(num / (Wide{2} * steps));
            if (rise < 0) offset = -offset;
        }
        const std::int64_t n = n1 + offset;
        const std::int64_t px = xMajor ? m : n, py = xMajor ? n : m;
        if (px >= 0 && py >= 0 && px < width_ && py < height_) {
            setPixel(static_cast<int>(px), static_cast<int>(py), colour);
        }
    }
}

void Raster::box(int x1, int y1, int x2, int y2, Rgb outline, std::optional<Rgb> fillColour) {
    const Span xs = visible(x1, x2, width_);
    const Span ys = visible(y1, y2, height_);
    // The fill covers the whole rectangle; the outline is painted over its border afterwards.
    if (fillColour) {
        for (std::int64_t y = ys.lo; y < ys.hi; ++y) {
            for (std::int64_t x = xs.lo; x < xs.hi; ++x) {
                setPixel(static_cast<int>(x), static_cast<int>(y), *fillColour);
            }
        }
    }
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    for (std::int64_t x = xs.lo; x < xs.hi; ++x) {
        setPixel(static_cast<int>(x), top, outline);
        setPixel(static_cast<int>(x), bottom, outline);
    }
    for (std::int64_t y = ys.lo; y < ys.hi; ++y) {
        setPixel(left, static_cast<int>(y), outline);
        setPixel(right, static_cast<int>(y), outline);
    }
}

// The ellipse is sampled twice: once per column (its top and bottom pixel in that column) and
// once per row (its left and right pixel in that row). Together the two samplings leave no gap
// on steep or flat parts of the curve. Every pixel is placed by its distance from the bounding
// rectangle's edge and mirrored, so the outline is exactly symmetric. Only visible columns and
// rows are visited.
void Raster::ellipse(int x1, int y1, int x2, int y2, Rgb outline, std::optional<Rgb> fillColour) {
    const std::int64_t left = std::min(x1, x2), right = std::max(x1, x2);
    const std::int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    // A rectangle without area holds only a straight line or a point.
    if (left == right || top == bottom) {
        line(x1, y1, x2, y2, outline);
        return;
    }
    const double a = static_cast<double>(right - left) / 2.0;  // half-width, pixels
    const double b = static_cast<double>(bottom - top) / 2.0;  // half-height, pixels
    const double cx = static_cast<double>(left + right) / 2.0;
    const double cy = static_cast<double>(top + bottom) / 2.0;
    // Distance, in whole pixels, from the rectangle's edge to the curve at offset d from the
    // centre along one axis, for half-axes `along` (that axis) and `across` (the other).
    const auto inset = [](double d, double along, double across) {
        const double q = d / along;
        const double extent = across * std::sqrt(std::max(0.0, 1.0 - q * q));
        return static_cast<std::int64_t>(std::floor(across - extent + 0.5));
    };
    const auto plot = [this, &outline](std::int64_t x, std::int64_t y) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_) {
            setPixel(static_cast<int>(x), static_cast<int>(y), outline);
        }
    };
    const Span rows = visible(top, bottom, height_);
    if (fillColour) {
        for (std::int64_t y = rows.lo; y < rows.hi; ++y) {
            const std::int64_t t = inset(std::fabs(static_cast<double>(y) - cy), b, a);
            const Span run = visible(left + t, right - t, width_);
            for (std::int64_t x = run.lo; x < run.hi; ++x) {
                setPixel(static_cast<int>(x), static_cast<int>(y), *fillColour);
            }
        }
    }
    const Span cols = visible(left, right, width_);
    for (std::int64_t x = cols.lo; x < cols.hi; ++x) {
        const std::int64_t t = inset(std::fabs(static_cast<double>(x) - cx), a, b);
        plot(x, top + t);
        plot(x, bottom - t);
    }
    for (std::int64_t y = rows.lo; y < rows.hi; ++y) {
        const std::int64_t t = inset(std::fabs(static_cast<double>(y) - cy), b, a);
        plot(left + t, y);
        plot(right - t, y);
    }
}

std::string Raster::bmpBytes() const {
    constexpr std::size_t kHeaderSize = 54;  // file header 14 bytes + info header 40 bytes
    const std::size_t stride = (static_cast<std::size_t>(width_) * 3 + 3) / 4 * 4;
    const std::size_t fileSize = stride * static_cast<std::size_t>(height_) + kHeaderSize;
    std::string out(fileSize, '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLE(out, 2, static_cast<std::uint32_t>(fileSize), 4);
    putLE(out, 10, static_cast<std::uint32_t>(kHeaderSize), 4);
    putLE(out, 14, 40, 4);
    putLE(out, 18, static_cast<std::uint32_t>(width_), 4);
    putLE(out, 22, static_cast<std::uint32_t>(height_), 4);
    putLE(out, 26, 1, 2);
    putLE(out, 28, 24, 2);
    // Rows go bottom-up; within a row blue, green, red; the padding stays zero.
    for (int y = 0; y < height_; ++y) {
        const std::size_t rowAt = kHeaderSize + stride * static_cast<std::size_t>(height_ - 1 - y);
        for (int x = 0; x < width_; ++x) {
            const std::size_t from = (static_cast<std::size_t>(y) * width_ + x) * 3;
            const std::size_t to = rowAt + static_cast<std::size_t>(x) * 3;
            out[to] = static_cast<char>(rgb_[from + 2]);
            out[to + 1] = static_cast<char>(rgb_[from + 1]);
            out[to + 2] = static_cast<char>(rgb_[from]);
        }
    }
    return out;
}

}  // namespace orvel
