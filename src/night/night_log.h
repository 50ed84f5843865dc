// The log lines of the night's records: one function per block of lines, each written in the
// order the log shows them. Console lines that go with them are written here too.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/aperture_choice.h"
#include "analysis/image_statistics.h"
#include "base/console_text.h"
#include "base/run_log.h"
#include "fits/image_header.h"
#include "night/discovery.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"

namespace orvel {

// The screen size lines (0 x 0 without a display).
void logScreenSize(RunLog& log, int width, int height);

// The four coordinate echo lines (after an empty line).
void logObservingSetup(RunLog& log, const ObservingSetup& setup);

// The file list, the band counts, the ignored count (also on the console) and, for an empty
// list, the line that says nothing will be measured.
void reportDiscovery(RunLog& log, ConsoleText& console, const ImageFileList& list);

// The lines that open each pass: file number and band in the log, progress on the console.
void reportFrameStart(RunLog& log, ConsoleText& console, int number, int total,
                      const FrameRecord& frame);

// The header text as read and the line of every keyword found.
void logHeader(RunLog& log, std::string_view headerText, const ImageHeader& header);

// "Number of N-byte data strings read from file = " and the count.
void logSampleCount(RunLog& log, const ImageHeader& header, std::int64_t count);

// "File NAME is not used: REASON." on the console and in the log.
void reportUnusable(RunLog& log, ConsoleText& console, std::string_view name,
                    std::string_view reason);

// The first image's statistics and the screen factor.
void logFirstImage(RunLog& log, const FirstImageStats& stats);
void logScreenFactor(RunLog& log, const ScreenFactor& factor);

// The log lines of one pick (window pixels as clicked).
void logStarPick(RunLog& log, float x, float y);
void logBackgroundPick(RunLog& log, float x, float y);

// The log lines of the picks on the first usable frame, written as each is made, whoever makes
// them (the user's clicks, or the picks given as options): one writer for both ways of running.
// It keeps the picks it logged, so that a run can say how to make them again.
class PickRecorder {
  public:
    using Pick = std::pair<float, float>;  // column and row as logged, window pixels

    explicit PickRecorder(RunLog& log) : log_(log) {}
    void firstImage(const FirstImageStats& stats) { logFirstImage(log_, stats); }
    void screenFactor(const ScreenFactor& factor) { logScreenFactor(log_, factor); }
    void star(float x, float y) {
        logStarPick(log_, x, y);
        stars_.emplace_back(x, y);
    }
    void background(float x, float y) {
        logBackgroundPick(log_, x, y);
        backgrounds_.emplace_back(x, y);
    }
    // Every pick logged, in order: the last of each kind is the one taken.
    const std::vector<Pick>& stars() const { return stars_; }
    const std::vector<Pick>& backgrounds() const { return backgrounds_; }

  private:
    RunLog& log_;
    std::vector<Pick> stars_;
    std::vector<Pick> backgrounds_;
};

// Background, star position, rings, sky level, signal, magnitude value and airmass: the four
// blocks below in turn.
// "Star followed to COLUMN = C ROW = R (field shift DC, DR; turned by T degrees)": where a
// frame's star was found, the field's shift and turn against the frame picked on (pixels,
// degrees).
void logFollowed(RunLog& log, double column, double row, double shiftColumn, double shiftRow,
                 double turnDegrees);

void logMeasurement(RunLog& log, const FrameMeasurement& m);
void logBackground(RunLog& log, const BackgroundStats& background);
void logStar(RunLog& log, const StarPosition& star);
void logRings(RunLog& log, const RingPhotometry& rings);
void logSky(RunLog& log, const SkyPosition& sky);

// The line, once a night, naming the aperture used when it is not the ring growth: the rule,
// the radius, the sky annulus and the median FWHM they were chosen from; or that the rings grow
// after all when no frame gave a width.
struct ApertureBasis {
    double medianFwhm = 0.0;  // pixels; NaN when not measured
    int framesMeasured = 0;   // frames whose FWHM was fitted
    int starsHeld = 0;        // other stars whose light lies in the aperture
};
void logAperture(RunLog& log, const ApertureSettings& asked,
                 const std::optional<ApertureGeometry>& aperture, const ApertureBasis& basis);

}  // namespace orvel
