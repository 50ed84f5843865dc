#include "graph/graph_render.h"

#include <cmath>

#include "run/numeric.h"

namespace orvel {

namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// Plot y grows upward, window y downward.
double screenY(double plotY) {
    return kPlotHeight - plotY;
}

}  // namespace

Rgb bandColour(float bandCode) {
    if (bandCode == 1.0f) return {255, 0, 0};
    if (bandCode == 2.0f) return {0, 170, 100};
    if (bandCode == 3.0f) return {0, 0, 255};
    return kBlack;
}

GraphRanges prepareGraph(std::span<FileObservation> observations, RunLog& log) {
    GraphRanges g;
    float smallestY = 9999.0f;
    float largestY = 0.0f;
    for (const FileObservation& o : observations) {
        if (!o.measured) continue;
        if (o.airmass < g.smallestAirmass) g.smallestAirmass = o.airmass;
        if (o.airmass > g.largestAirmass) g.largestAirmass = o.airmass;
        if (o.magnitude < smallestY) smallestY = o.magnitude;
        if (o.magnitude > largestY) largestY = o.magnitude;
    }
    // The X axis starts at one airmass and ends at the next whole airmass above the data.
    g.xFrom = 1.0f;
    g.xTo = f32(1.0 + std::trunc(static_cast<double>(g.largestAirmass)));
    const float padding = 0.1f;
    g.yFrom = f32(static_cast<double>(smallestY) - padding);
    g.yTo = f32(static_cast<double>(largestY) + padding);

    log.end().line("For graphing array-");
    log.text("  Columns = ").num(kPlotWidth).text("  Min X Value = ").num(g.xFrom);
    log.text("  Max X Value = ").num(g.xTo).end();
    log.text("     Rows = ").num(kPlotHeight).text("  Min Y Value = ").num(g.yFrom);
    log.text("  Max Y Value = ").num(g.yTo).end();

    // Positions are fixed once: later removals leave every other point where it was.
    for (FileObservation& o : observations) {
        o.plotX = f32((static_cast<double>(o.airmass) - g.xFrom) /
                      (static_cast<double>(g.xTo) - g.xFrom) * kPlotWidth);
        o.plotY = f32((static_cast<double>(o.magnitude) - g.yFrom) /
                      (static_cast<double>(g.yTo) - g.yFrom) * kPlotHeight);
    }
    return g;
}

void openGraphWindow(GraphicsWindow& window) {
    window.create("Log of Magnitude on Y-axis versus Airmass on X-axis", 0, 0, kPlotWidth,
                  kPlotHeight);
    window.attach(DrawMode::immediate);
    window.clear(kWhite);
}

std::array<LineEnds, 3> lineEndPoints(const std::array<BandFit, 3>& fits, const GraphRanges& g) {
    std::array<LineEnds, 3> lines;
    const double xSpan = static_cast<double>(g.xTo) - g.xFrom;
    const double ySpan = static_cast<double>(g.yTo) - g.yFrom;
    for (std::size_t b = 0; b < 3; ++b) {
        const double s = fits[b].slope;
        const double a = fits[b].intercept;
        // Every line spans the airmass range of all observations.
        lines[b].startX =
            f32((g.smallestAirmass - static_cast<double>(g.xFrom)) / xSpan * kPlotWidth);
        lines[b].startY = f32((s * g.smallestAirmass + a - g.yFrom) / ySpan * kPlotHeight);
        lines[b].endX = f32((g.largestAirmass - static_cast<double>(g.xFrom)) / xSpan * kPlotWidth);
        lines[b].endY = f32((s * g.largestAirmass + a - g.yFrom) / ySpan * kPlotHeight);
    }
    return lines;
}

void drawPointCircle(GraphicsWindow& window, const FileObservation& o, Rgb colour) {
    const double x = o.plotX;
    const double y = screenY(o.plotY);
    window.ellipse(x - kPointRadius, y - kPointRadius, x + kPointRadius, y + kPointRadius, colour,
                   std::nullopt);
}

void drawGraph(GraphicsWindow& window, std::span<const FileObservation> observations,
               const std::array<LineEnds, 3>& lines, int bandEdited) {
    // The framed white box erases everything drawn before.
    window.box(0, 0, kPlotWidth - 1, kPlotHeight - 1, kBlack, kWhite);
    for (const FileObservation& o : observations) {
        if (!inFit(o)) continue;
        const int band = o.band == 1.0f ? 1 : o.band == 2.0f ? 2 : o.band == 3.0f ? 3 : 0;
        if (band == 0) continue;
        // Each line is drawn again before each circle, so later lines cross earlier circles.
        const LineEnds& l = lines[static_cast<std::size_t>(band - 1)];
        window.line(l.startX, screenY(l.startY), l.endX, screenY(l.endY), bandColour(o.band));
        if (bandEdited == 0 || bandEdited == band) drawPointCircle(window, o, bandColour(o.band));
    }
}

}  // namespace orvel
