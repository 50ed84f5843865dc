#include "graph/graph_render.h"

#include <cmath>

#include "base/numeric.h"

namespace orvel {

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// Plot y grows upward, window y downward.
double screenY(double plotY) {
    return kPlotHeight - plotY;
}

// The plot position of an airmass and a magnitude value.
PlotPoint plotPosition(const GraphRanges& g, double airmass, double magnitude) {
    return {f32((airmass - g.xFrom) / (static_cast<double>(g.xTo) - g.xFrom) * kPlotWidth),
            f32((magnitude - g.yFrom) / (static_cast<double>(g.yTo) - g.yFrom) * kPlotHeight)};
}

}  // namespace

Rgb bandColour(Band band) {
    switch (band) {
        case Band::red:
            return {255, 0, 0};
        case Band::green:
            return {0, 170, 100};
        case Band::blue:
            return {0, 0, 255};
    }
    return kBlack;
}

GraphRanges graphRanges(const NightRecord& night) {
    GraphRanges g;
    float smallestY = 9999.0f;
    float largestY = 0.0f;
    for (const FrameRecord& f : night.frames) {
        if (!f.included()) continue;
        const FitPoint p = f.measurement->point();
        if (p.airmass < g.smallestAirmass) g.smallestAirmass = p.airmass;
        if (p.airmass > g.largestAirmass) g.largestAirmass = p.airmass;
        if (p.magnitude < smallestY) smallestY = p.magnitude;
        if (p.magnitude > largestY) largestY = p.magnitude;
    }
    // The X axis starts at one airmass and ends at the next whole airmass above the data.
    g.xFrom = 1.0f;
    g.xTo = f32(1.0 + std::trunc(static_cast<double>(g.largestAirmass)));
    g.yFrom = f32(static_cast<double>(smallestY) - kMagnitudePadding);
    g.yTo = f32(static_cast<double>(largestY) + kMagnitudePadding);
    return g;
}

void logGraphRanges(RunLog& log, const GraphRanges& g) {
    log.end().line("For graphing array-");
    log.text("  Columns = ").num(kPlotWidth).text("  Min X Value = ").num(g.xFrom);
    log.text("  Max X Value = ").num(g.xTo).end();
    log.text("     Rows = ").num(kPlotHeight).text("  Min Y Value = ").num(g.yFrom);
    log.text("  Max Y Value = ").num(g.yTo).end();
}

std::vector<PlotPoint> plotPositions(const NightRecord& night, const GraphRanges& g) {
    // Positions are fixed once: later removals leave every other point where it was.
    std::vector<PlotPoint> positions;
    positions.reserve(night.frames.size());
    for (const FrameRecord& f : night.frames) {
        const FitPoint p = f.measured() ? f.measurement->point() : FitPoint{};
        positions.push_back(plotPosition(g, p.airmass, p.magnitude));
    }
    return positions;
}

std::array<LineEnds, 3> lineEndPoints(const std::array<BandFit, 3>& fits, const GraphRanges& g) {
    std::array<LineEnds, 3> lines;
    for (std::size_t b = 0; b < 3; ++b) {
        const double s = fits[b].slope;
        const double a = fits[b].intercept;
        // Every line spans the airmass range of all observations.
        lines[b].start = plotPosition(g, g.smallestAirmass, s * g.smallestAirmass + a);
        lines[b].end = plotPosition(g, g.largestAirmass, s * g.largestAirmass + a);
    }
    return lines;
}

void openGraphWindow(GraphicsWindow& window) {
    window.create("Log of Magnitude on Y-axis versus Airmass on X-axis", 0, 0, kPlotWidth,
                  kPlotHeight);
    window.attach(DrawMode::immediate);
    window.clear(kWhite);
}

void drawPointCircle(GraphicsWindow& window, PlotPoint p, Rgb colour) {
    const double x = p.x;
    const double y = screenY(p.y);
    window.ellipse(x - kPointRadius, y - kPointRadius, x + kPointRadius, y + kPointRadius, colour,
                   std::nullopt);
}

void drawGraph(GraphicsWindow& window, const NightRecord& night,
               std::span<const PlotPoint> positions, const std::array<LineEnds, 3>& lines,
               std::optional<Band> circlesOf) {
    // The framed white box erases everything drawn before.
    window.box(0, 0, kPlotWidth - 1, kPlotHeight - 1, kBlack, kWhite);
    for (std::size_t i = 0; i < night.frames.size(); ++i) {
        const FrameRecord& f = night.frames[i];
        if (!f.included()) continue;
        // Each line is drawn again before each circle, so later lines cross earlier circles.
        const LineEnds& l = lines[bandIndex(f.band)];
        window.line(l.start.x, screenY(l.start.y), l.end.x, screenY(l.end.y), bandColour(f.band));
        if (!circlesOf || *circlesOf == f.band)
            drawPointCircle(window, positions[i], bandColour(f.band));
    }
}

std::optional<std::size_t> nearestPoint(const NightRecord& night,
                                        std::span<const PlotPoint> positions, Band band,
                                        float cx, float cy) {
    std::optional<std::size_t> candidate;
    float best = 9999.0f;
    for (std::size_t j = 0; j < night.frames.size(); ++j) {
        const FrameRecord& f = night.frames[j];
        if (!f.included() || f.band != band) continue;
        const double dx = static_cast<double>(positions[j].x) - cx;
        const double dy = static_cast<double>(positions[j].y) - cy;
        const float d = f32(std::sqrt(dx * dx + dy * dy));
        // There is no largest distance: the nearest point is offered wherever the click was.
        if (best > d) {
            candidate = j;
            best = d;
        }
    }
    return candidate;
}

}  // namespace orvel
