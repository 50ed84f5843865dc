// The record of one night: every listed frame with what was read and measured on it, the picks
// and the fits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/background.h"
#include "analysis/photometric_error.h"
#include "analysis/pixel_spike.h"
#include "analysis/ring_photometry.h"
#include "analysis/star_position.h"
#include "analysis/star_profile.h"
#include "analysis/star_selection.h"
#include "fit/band_fit.h"
#include "fit/fit_errors.h"
#include "fits/image_header.h"
#include "night/band.h"
#include "night/frame_source.h"
#include "observing/airmass.h"
#include "observing/precise_airmass.h"

namespace orvel {

// Everything measured on one frame, in the order it is measured.
struct FrameMeasurement {
    BackgroundStats background;          // background rectangle; its median is the background level
    StarPosition star;                   // brightest pixel (the ring centre) and centroid
    RingPhotometry rings;                // rings, radii, sky level, integrated DC, magnitude value
    StarProfile profile;                 // the star's width (FWHM) about the ring centre
    SkyPosition sky;                     // elevation and airmass at the DATE-OBS time
    std::optional<PreciseSky> precise;   // with --airmass precise: mid-exposure elevation and
                                         // airmass (NaN when the date could not be converted)
    std::vector<SensorPixel> hotPixels;  // the night's hot pixels in the search square, rings or
                                         // annulus, measured as their neighbours' median

    // The observation as the fit and the graph see it: X (the precise airmass when it was
    // computed) and the stored 32-bit Y.
    FitPoint point() const;
    // The elevation of the airmass fitted, degrees.
    double fittedElevation() const;
};

// Where a frame stands in the night; only a measured frame takes part in the fit and the graph.
enum class FrameState {
    listed,    // listed, not measured (not yet read)
    measured,  // measured and kept
    leftOut,   // left out by the program: whyLeftOut says why
    removed,   // removed by the user (a click on its point, or --remove)
    rejected,  // left out by --reject, too far from its band's line
};

struct FrameRecord {
    std::string name;               // bare file name, NAME[R] for a colour frame's red band
    Band band = Band::red;          // from the name's band letter or the filter card
    bool bandKnown = true;          // false for a frame listed without a band (never included)
    FrameSource source;             // the file and the part of it that holds the frame
    ImageHeader header;             // the header values (defaults when it was not read)
    std::int64_t samplesRead = -1;  // whole data samples the file holds; -1 when not read
    std::optional<FrameMeasurement> measurement;  // empty when the frame could not be used
    FrameState state = FrameState::listed;        // in the fit, or why not
    std::string whyLeftOut;             // empty when included; "removed", or why the frame could
                                        // not be used
    std::vector<std::string> warnings;  // what the user should know of a frame that is kept
                                        // (sentences without the frame's name)

    bool measured() const { return measurement.has_value(); }
    // Takes part in the fit and the graph.
    bool included() const { return state == FrameState::measured; }
};

// How the night's lines are fitted and the frames' noise judged; the defaults fit as described.
struct FitChoices {
    bool weighted = false;   // --weighted: every point weighted by 1 / its error^2
    DetectorNoise detector;  // gain and read noise of frames whose header names none
};

struct NightRecord {
    std::vector<FrameRecord> frames;  // one per listed file, in list order: red, green, blue
    std::array<int, 3> bandCounts{};  // files listed per band (red, green, blue)
    StarSelection selection;          // picks made on the first usable frame
    std::array<BandFit, 3> fits{};    // red, green, blue; refitted after every removal
    FitChoices fitting;               // how the fits are made

    bool anyMeasured() const;
};

// Full-frame pixels per pixel of the image a frame is measured on: 2 for a colour mosaic's
// super-pixels, else 1.
double framePixelScale(const FrameRecord& frame);

// A measured column or row of a frame in full-frame pixels: a colour mosaic's super-pixel
// stands for the 2 x 2 frame pixels about 2 x its index + 0.5.
double fullFramePlace(const FrameRecord& frame, int superPixelOrPixel);

// The detector of a frame: its header's gain and read noise, else the night's.
DetectorNoise frameDetector(const FrameRecord& frame, const FitChoices& fitting);

// The UTC Julian date of a measured frame's mid-exposure: the precise airmass's moment, else
// DATE-OBS + EXPTIME / 2. Empty when the frame has no date or was not measured.
std::optional<double> frameJulianDate(const FrameRecord& frame);

// The earliest of the measured frames' Julian dates, from which the points' hours count; NaN
// when no frame has one.
double nightTimeOrigin(const NightRecord& night);

// A measured frame's point with its error and its time in hours from the origin.
FitPoint framePoint(const FrameRecord& frame, const FitChoices& fitting, double origin);

// The points of the band's included frames, in list order, with their errors and times.
std::vector<FitPoint> bandPoints(const NightRecord& night, Band band);

// Whether a band's points are fitted weighted: asked for, and every point has an error.
bool fittedWeighted(const NightRecord& night, std::span<const FitPoint> points);

// Fits every band that has files, over its included frames. A band without files keeps its
// fit unchanged.
void fitBands(NightRecord& night);

// The index of the included frame of that name; empty when no included frame has it.
std::optional<std::size_t> findIncludedFrame(const NightRecord& night, std::string_view name);

// Leaves a measured frame out of the fit and the graph, as the user removing its point does.
void removeFrame(NightRecord& night, std::size_t index);

// Puts a frame the user removed back into the fit and the graph; no effect on any other frame.
void restoreFrame(NightRecord& night, std::size_t index);

// The index of the frame of this name that the user removed; empty when there is none.
std::optional<std::size_t> findRemovedFrame(const NightRecord& night, std::string_view name);

// A frame left out for lying too far from its band's line.
struct Rejection {
    std::size_t frame = 0;    // index in the night's frames
    double deviations = 0.0;  // its distance from the line, robust deviations
};

// Leaves out, band by band and one at a time, the included frame furthest from the robust line
// of its band's frames still in while that is more than `limit` robust deviations; the bands
// are refitted.
std::vector<Rejection> rejectOutliers(NightRecord& night, double limit);

}  // namespace orvel
