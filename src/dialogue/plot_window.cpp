#include "dialogue/plot_window.h"

#include <algorithm>
#include <cmath>

#include "graph/graph_render.h"

namespace orvel {

namespace {

constexpr std::string_view kCaption = "Labelled plot: k \u00b1 \u03c3, verdicts and residuals";
// Room left for window frames the desktop may draw: each side's border and a title bar.
constexpr int kBorder = 8;     // pixels
constexpr int kTitleBar = 32;  // pixels
// The smallest share of its own size at which the plot is still readable.
constexpr double kSmallestScale = 0.5;

// The plot's scale in a room of that many pixels, at most its own size.
double scaleIn(int roomWidth, int roomHeight) {
    return std::min({1.0, static_cast<double>(roomWidth) / kNightPlotWidth,
                     static_cast<double>(roomHeight) / kNightPlotHeight});
}

WindowPlace placeScaled(int left, int top, double scale) {
    return {left, top, static_cast<int>(std::lround(kNightPlotWidth * scale)),
            static_cast<int>(std::lround(kNightPlotHeight * scale))};
}

}  // namespace

WindowPlace plotWindowPlace(DesktopSize desktop) {
    // Beside the graph: past its right border and this window's left one.
    const int rightLeft = kPlotWidth + 2 * kBorder;
    const double right =
        scaleIn(desktop.width - rightLeft - kBorder, desktop.height - kTitleBar - kBorder);
    // Under the graph: past its title bar and bottom border, and this window's title bar.
    const int belowTop = kPlotHeight + 2 * kTitleBar + kBorder;
    const double below = scaleIn(desktop.width - 2 * kBorder, desktop.height - belowTop - kBorder);
    if (std::max(right, below) >= kSmallestScale) {
        return right >= below ? placeScaled(rightLeft, 0, right)
                              : placeScaled(kBorder, belowTop, below);
    }
    // No room: the far corner, where it covers least of the graph.
    WindowPlace p = placeScaled(0, 0, kSmallestScale);
    p.width = std::min(p.width, std::max(desktop.width, 1));
    p.height = std::min(p.height, std::max(desktop.height, 1));
    p.left = std::max(0, desktop.width - p.width - kBorder);
    p.top = std::max(0, desktop.height - p.height - kBorder);
    return p;
}

void PlotWindow::open(DesktopSize desktop) {
    const WindowPlace p = plotWindowPlace(desktop);
    view_.width = p.width;
    view_.height = p.height;
    if (!window_.create(kCaption, p.left, p.top, p.width, p.height)) return;
    window_.attach(DrawMode::buffered);
    window_.clear({255, 255, 255});
    window_.redraw();
}

void PlotWindow::show(const NightFit& fit) {
    fit_ = fit;
    view_.ringed.reset();
    paint();
}

void PlotWindow::ring(std::optional<std::size_t> frame) {
    view_.ringed = frame;
    paint();
}

void PlotWindow::close() {
    window_.close();
}

// A window the user closed is left alone: the run goes on without it.
void PlotWindow::paint() {
    if (!fit_ || !window_.isOpen() || window_.closedByUser()) return;
    window_.picture(nightPlotPixels(night_, *fit_, setup_, view_), 0, 0);
    window_.redraw();
}

}  // namespace orvel
