#include "platform/graphics_window.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "base/numeric.h"
#include "platform/session_end.h"

namespace orvel {

namespace {

// Latch word layout: bits 0-1 the flag, then x and y in 31 bits each, offset so that negative
// positions survive the packing.
constexpr std::uint64_t kFlagMask = 0x3;
constexpr int kFieldBits = 31;
constexpr std::uint64_t kFieldMask = (std::uint64_t{1} << kFieldBits) - 1;
constexpr std::int64_t kFieldOffset = std::int64_t{1} << (kFieldBits - 1);

std::uint64_t packLatch(std::uint64_t flag, int x, int y) {
    const auto field = [](int v) {
        const std::int64_t limited = std::clamp<std::int64_t>(v, -kFieldOffset, kFieldOffset - 1);
        return static_cast<std::uint64_t>(limited + kFieldOffset) & kFieldMask;
    };
    return (flag & kFlagMask) | (field(x) << 2) | (field(y) << (2 + kFieldBits));
}

Click unpackLatch(std::uint64_t word) {
    const auto field = [](std::uint64_t bits) {
        return static_cast<float>(static_cast<std::int64_t>(bits & kFieldMask) - kFieldOffset);
    };
    return {static_cast<int>(word & kFlagMask), field(word >> 2), field(word >> (2 + kFieldBits))};
}

bool allFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// A segment in real window coordinates.
struct Segment {
    double x1, y1, x2, y2;  // end points, client pixels
};

// Liang–Barsky: cuts the segment to the rectangle [lo, hiX] x [lo, hiY]; false when it misses.
// Used for end points too far away to round to whole pixels without losing the direction.
bool clipSegment(Segment& s, double lo, double hiX, double hiY) {
    // Half the differences, so that end points near opposite ends of the double range still
    // give a finite direction; the parameter then runs from 0 to 2.
    const double hx = s.x2 / 2 - s.x1 / 2, hy = s.y2 / 2 - s.y1 / 2;
    const double p[4] = {-hx, hx, -hy, hy};
    const double q[4] = {s.x1 - lo, hiX - s.x1, s.y1 - lo, hiY - s.y1};
    const double edge[4] = {lo, hiX, lo, hiY};
    double t[4] = {};
    double t0 = 0.0, t1 = 2.0;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;  // parallel to this edge and outside it
            continue;
        }
        t[i] = q[i] / p[i];
        if (p[i] < 0.0) {
            t0 = std::max(t0, t[i]);  // entering through this edge
        } else {
            t1 = std::min(t1, t[i]);  // leaving through this edge
        }
        if (t0 > t1) return false;
    }
    Segment cut{s.x1 + t0 * hx, s.y1 + t0 * hy, s.x1 + t1 * hx, s.y1 + t1 * hy};
    // An end point cut at an edge lies on it exactly: far from the origin the parameter is too
    // coarse to find the edge again (a horizontal line would shrink to a point).
    for (int i = 0; i < 4; ++i) {
        if (p[i] < 0.0 && t0 > 0.0 && t[i] == t0) (i < 2 ? cut.x1 : cut.y1) = edge[i];
        if (p[i] > 0.0 && t1 < 2.0 && t[i] == t1) (i < 2 ? cut.x2 : cut.y2) = edge[i];
    }
    // Never let a point that is not finite round to pixel 0.
    if (!allFinite({cut.x1, cut.y1, cut.x2, cut.y2})) return false;
    s = cut;
    return true;
}

// Beyond this distance from the origin a line is cut to the window before rounding.
constexpr double kFarCoordinate = 1e9;

}  // namespace

bool GraphicsWindow::create(std::string_view caption, int left, int top, int width, int height) {
    if (open_) close();
    if (width < 1 || height < 1) return false;
    // A new window starts with no clicks and not closed; clicks on an older one do not count.
    latch_.store(0);
    closedByUser_ = false;
    pointer_.reset();
    surface_ = Raster();
    open_ = openNative(caption, left, top, width, height);
    // The surface is made only for a window that opened.
    if (!open_) return false;
    surface_ = Raster(width, height, kDefaultWindowColour);
    present(surface_);
    return true;
}

void GraphicsWindow::clear(Rgb colour) {
    surface_.fill(colour);
    afterDraw();
}

void GraphicsWindow::setPixel(double x, double y, Rgb colour) {
    if (!allFinite({x, y})) return;
    surface_.setPixel(toInt(x), toInt(y), colour);
    afterDraw();
}

void GraphicsWindow::line(double x1, double y1, double x2, double y2, Rgb colour) {
    if (!allFinite({x1, y1, x2, y2})) return;
    Segment s{x1, y1, x2, y2};
    const bool far =
        std::max({std::fabs(x1), std::fabs(y1), std::fabs(x2), std::fabs(y2)}) > kFarCoordinate;
    // A margin of two pixels keeps the rounded end points just outside the surface.
    if (far && !clipSegment(s, -2.0, surface_.width() + 1.0, surface_.height() + 1.0)) return;
    surface_.line(toInt(s.x1), toInt(s.y1), toInt(s.x2), toInt(s.y2), colour);
    afterDraw();
}

void GraphicsWindow::box(double x1, double y1, double x2, double y2, Rgb outline,
                         std::optional<Rgb> fill) {
    if (!allFinite({x1, y1, x2, y2})) return;
    surface_.box(toInt(x1), toInt(y1), toInt(x2), toInt(y2), outline, fill);
    afterDraw();
}

void GraphicsWindow::ellipse(double x1, double y1, double x2, double y2, Rgb outline,
                             std::optional<Rgb> fill) {
    if (!allFinite({x1, y1, x2, y2})) return;
    surface_.ellipse(toInt(x1), toInt(y1), toInt(x2), toInt(y2), outline, fill);
    afterDraw();
}

void GraphicsWindow::picture(const Raster& from, int left, int top) {
    surface_.paste(from, left, top);
    afterDraw();
}

void GraphicsWindow::redraw() {
    if (open_) present(surface_);
}

void GraphicsWindow::afterDraw() {
    if (open_ && mode_ == DrawMode::immediate) presentSoon(surface_);
}

void GraphicsWindow::focus() {
    if (open_) focusNative();
}

void GraphicsWindow::recordPress(int x, int y) {
    latch_.store(packLatch(1, x, y));
}

void GraphicsWindow::recordDoubleClick(int x, int y) {
    std::uint64_t old = latch_.load();
    // The double-click bit joins whatever flag is pending; the position is the double click's.
    while (!latch_.compare_exchange_weak(old, packLatch((old & kFlagMask) | 2, x, y))) {
    }
}

Click GraphicsWindow::clickQuery() {
    const std::uint64_t taken = latch_.exchange(0);
    Click click = unpackLatch(taken);
    if (click.flag == 0) return {};
    if ((click.flag & 1) != 0) {
        if ((click.flag & 2) != 0) {
            // Hand the double click to the next query, unless a newer event has come meanwhile:
            // that event supersedes it just as it would have had it come first.
            std::uint64_t expected = 0;
            latch_.compare_exchange_strong(expected, (taken & ~kFlagMask) | 2);
        }
        click.flag = 1;
    }
    return click;
}

Click GraphicsWindow::waitForClick() {
    return waitForClick([] { return std::optional<Click>(); });
}

Click GraphicsWindow::waitForClick(const std::function<std::optional<Click>()>& beside) {
    for (;;) {
        pumpEvents();
        if (const std::optional<Click> handed = beside()) return *handed;
        const Click click = clickQuery();
        if (click.flag != 0) return click;
        if (!open_ || closedByUser() || !idleWhileWaiting()) {
            throw SessionEnded{"The graphics window was closed."};
        }
    }
}

bool GraphicsWindow::idleWhileWaiting() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return true;
}

void GraphicsWindow::close() {
    if (!open_) return;
    closeNative();
    open_ = false;
    surface_ = Raster();
}

}  // namespace orvel
