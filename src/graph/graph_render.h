// The graph of magnitude value against airmass: ranges, plot positions, lines and circles.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "base/run_log.h"
#include "fit/band_fit.h"
#include "night/night_record.h"
#include "platform/graphics_window.h"

namespace orvel {

constexpr int kPlotWidth = 640;   // pixels across, also the window's client width
constexpr int kPlotHeight = 480;  // pixels down, also the window's client height
constexpr double kPointRadius = 5.0;  // pixels, circle about each observation
constexpr float kMagnitudePadding = 0.1f;  // magnitude value added below and above the points

struct GraphRanges {
    float smallestAirmass = 9999.0f;  // over the included frames
    float largestAirmass = 0.0f;
    float xFrom = 1.0f;  // X axis start, airmass
    float xTo = 1.0f;    // X axis end: 1 + whole part of the largest airmass
    float yFrom = 0.0f;  // Y axis start: smallest magnitude value - 0.1
    float yTo = 0.0f;    // Y axis end: largest magnitude value + 0.1
};

// A position in the plot, pixels from its left and bottom edges.
struct PlotPoint {
    float x = 0.0f;
    float y = 0.0f;
};

// Plot positions of one band's fitted line at the smallest and largest airmass.
struct LineEnds {
    PlotPoint start;
    PlotPoint end;
};

// The colour of a band's points and line.
Rgb bandColour(Band band);

// The ranges over the frames included when the graph is set up, before any removal (later
// removals leave every point where it was).
GraphRanges graphRanges(const NightRecord& night);

// The "For graphing array-" lines.
void logGraphRanges(RunLog& log, const GraphRanges& ranges);

// Every frame's plot position (a frame that was not measured sits where X = Y = 0 would).
std::vector<PlotPoint> plotPositions(const NightRecord& night, const GraphRanges& ranges);

std::array<LineEnds, 3> lineEndPoints(const std::array<BandFit, 3>& fits,
                                      const GraphRanges& ranges);

// Opens the 640 x 480 graph window, immediate mode, cleared to white.
void openGraphWindow(GraphicsWindow& window);

// Repaints the whole plot: every included frame's line and circle, or only the circles of one
// band when it is given.
void drawGraph(GraphicsWindow& window, const NightRecord& night,
               std::span<const PlotPoint> positions, const std::array<LineEnds, 3>& lines,
               std::optional<Band> circlesOf);

// The circle about a plot position.
void drawPointCircle(GraphicsWindow& window, PlotPoint position, Rgb colour);

// The included frame of the band nearest to the plot position (cx, cy); ties keep the earlier
// one. Empty when the band has no included frame whose distance can be compared.
std::optional<std::size_t> nearestPoint(const NightRecord& night,
                                        std::span<const PlotPoint> positions, Band band,
                                        float cx, float cy);

}  // namespace orvel
