// The labelled plot of a night: the fitted lines of the three bands with their points, axes,
// legend, residuals and title, as PNG, SVG or PDF.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "night/night_fit.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "picture/canvas.h"
#include "platform/raster.h"

namespace orvel {

// What the vertical axis shows.
enum class PlotValue {
    lnSignal,   // magnitude value Y = ln(signal / ADU), as fitted
    magnitude,  // instrumental magnitude -2.5 log10(signal) = -1.0857 Y, brighter upward
};

// What the legend says of one band: the numbers of ORVEL_fit.csv, k in both units.
struct BandLegend {
    bool fitted = false;     // the band has a line (two or more frames)
    double kMag = 0.0;       // k, magnitudes per airmass
    double kMagError = 0.0;  // standard error of k, magnitudes per airmass (NaN below 3 frames)
    double kLn = 0.0;        // k, natural-log units per airmass (-slope)
    double kLnError = 0.0;   // standard error of k, ln units per airmass
    double r2 = 0.0;         // R2 of the fit
    int frames = 0;          // frames fitted
};

BandLegend bandLegend(const NightFit& fit, Band band);

// "RED  k = 0.2716 ± 0.0045 mag/airmass (0.2501 ± 0.0041 ln/airmass), R² 0.99698, 10 frames".
std::string legendText(Band band, const BandLegend& legend);

// The plot's title lines: the target's coordinates; the site and the night's date.
std::string plotTitle(const ObservingSetup& setup);
std::string plotSubtitle(const NightRecord& night, const ObservingSetup& setup);

// The file image of the plot of the night's current fits.
std::string nightPlot(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                      PlotValue value, PictureFormat format);

// The plot's own size, points: a picture of this many pixels shows it at full size.
inline constexpr int kNightPlotWidth = 1000;
inline constexpr int kNightPlotHeight = 800;

// How the plot is shown in a window.
struct PlotView {
    PlotValue value = PlotValue::lnSignal;
    std::optional<std::size_t> ringed;  // the frame being considered (index in the night's
                                        // frames), ringed in black; none when empty
    int width = kNightPlotWidth;        // pixels; the drawing is scaled to fit
    int height = kNightPlotHeight;      // pixels
};

// The plot of the night's current fits in pixels, as the window shows it.
Raster nightPlotPixels(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                       const PlotView& view);

// Writes the plot in the format its name asks for; false when it cannot be written.
bool writeNightPlot(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                    PlotValue value, const std::filesystem::path& path);

}  // namespace orvel
