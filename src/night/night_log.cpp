#include "night/night_log.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "base/number_format.h"
#include "fits/pixel_decoder.h"
#include "observing/coordinates.h"

namespace orvel {

namespace {

constexpr std::size_t kPrintZone = 14;  // width of a print zone in a log line

// Spaces that carry a line of the given length to the next print zone (at least one).
std::string zonePadding(std::size_t length) {
    return std::string(kPrintZone - length % kPrintZone, ' ');
}

void logAngle(RunLog& log, std::string_view label, const TypedAngle& a) {
    // Sign factor times the non-negative degrees is the degrees field as typed, "-0" included.
    log.text(label).text(wholeText(a)).text(", ").num(a.minutes).text(", ").num(a.seconds).end();
}

void logClick(RunLog& log, std::string_view heading, float x, float y) {
    log.end().line(heading);
    log.text("   COLUMN = ").num(x).end();
    log.text("      ROW = ").num(y).end();
}

}  // namespace

void logScreenSize(RunLog& log, int width, int height) {
    log.end().line("Monitor Screen Size (Width, Height in pixels)-");
    log.text("Width = ").numLong(width).text("     Height = ").numLong(height).end();
}

void logObservingSetup(RunLog& log, const ObservingSetup& s) {
    log.end();
    logAngle(log, "Site Latitude (d,m,s) = ", s.latitude);
    logAngle(log, "Site Longitude (d,m,s) = ", s.longitude);
    logAngle(log, "Star RA (h,m,s) = ", s.rightAscension);
    logAngle(log, "Star Dec (d,m,s) = ", s.declination);
}

void reportDiscovery(RunLog& log, ConsoleText& console, const ImageFileList& list) {
    log.end()
        .text("Total Number of Image Files Read = ")
        .num(static_cast<double>(list.files.size()));
    log.end().end().line("List of Image Files Read-");
    for (const ListedFile& f : list.files) log.line(f.name);
    log.end();
    log.text("# Red Files = ").num(list.bandCounts[0]).end();
    log.text("# Green Files = ").num(list.bandCounts[1]).end();
    log.text("# Blue Files = ").num(list.bandCounts[2]).end();
    if (list.ignored > 0) {
        log.end().text("Image files beyond the limit of 1000, ignored = ").num(list.ignored).end();
        console.print("Image files beyond the limit of 1000, ignored = ");
        console.printNumber(list.ignored);
        console.endLine();
    }
    if (list.files.empty()) log.end().line("No files input-- execution stops");
}

void reportFrameStart(RunLog& log, ConsoleText& console, int number, int total,
                      const FrameRecord& frame) {
    log.end()
        .text("Current file number = ")
        .num(number)
        .text("  (")
        .text(frame.name)
        .text(")")
        .end();
    log.end().text("File type = ").num(bandCode(frame.band)).end();
    console.print("PROCESSING FILE ");
    console.printNumber(number);
    console.print(" OF ");
    console.printNumber(total);
    console.endLine();
}

void logHeader(RunLog& log, std::string_view headerText, const ImageHeader& h) {
    log.end().line("ORIGINAL FILE HEADER:").line(headerText);
    if (h.hasBitpix) {
        log.end().line("From FITS image header:");
        log.text("Image type (BITPIX) = ").num(h.bitpix).end();
    }
    if (h.hasSize) {
        std::string line = "Columns in image = " + formatShort(h.columns);
        line += zonePadding(line.size());
        line += " Rows in image = " + formatShort(h.rows);
        log.end().line(line);
    }
    if (h.hasBscale) log.end().text("Value of BSCALE = ").num(h.bscale).end();
    if (h.hasBzero) log.end().text("Value of BZERO = ").num(h.bzero).end();
    if (h.hasDate) {
        log.end().text("Year, month, day = ").num(h.year).num(h.month).num(h.day).end();
        log.text("Hour, minutes, seconds = ").num(h.hour).num(h.minute).num(h.second).end();
    }
    if (h.hasExposure) log.end().text("Exposure time (sec) = ").num(h.exposure).end();
}

void logSampleCount(RunLog& log, const ImageHeader& header, std::int64_t count) {
    log.end()
        .text("Number of " + std::to_string(bytesPerSample(header.bitpix)) +
              "-byte data strings read from file = ")
        .numLong(static_cast<double>(count))
        .end();
}

void reportUnusable(RunLog& log, ConsoleText& console, std::string_view name,
                    std::string_view reason) {
    const std::string line =
        "File " + std::string(name) + " is not used: " + std::string(reason) + ".";
    console.printLine(line);
    log.end().line(line);
}

void logFirstImage(RunLog& log, const FirstImageStats& st) {
    log.end().line("Scale first image for display- ");
    log.text("# pixels in image = ").numLong(static_cast<double>(st.pixelCount)).end();
    log.text("# pixels included in analysis = ")
        .numLong(static_cast<double>(st.includedCount))
        .end();
    log.text("Largest pixel value in image  = ").num(st.largest).end();
    log.text("Smallest pixel value (>0) in image = ").num(st.smallest).end();
    log.text("Average DC = ").num(st.mean).end();
    log.text("STD DEV DC = ").num(st.standardDeviation).end();
    log.text("Median pixel value = ").num(st.median).end();
    log.text("1 Percentile DC value =    ").num(st.p1).end();
    log.text("99.9 Percentile DC value = ").num(st.p999).end();
}

void logScreenFactor(RunLog& log, const ScreenFactor& factor) {
    log.end().text("Screen Factor = ").num(factor.desktopsSpanned).end();
}

void logStarPick(RunLog& log, float x, float y) {
    logClick(log, "Initial target star position:", x, y);
}

void logBackgroundPick(RunLog& log, float x, float y) {
    logClick(log, "Initial background rectangle position:", x, y);
}

void logMeasurement(RunLog& log, const FrameMeasurement& m) {
    logBackground(log, m.background);
    logStar(log, m.star);
    logRings(log, m.rings);
    logSky(log, m.sky);
}

void logBackground(RunLog& log, const BackgroundStats& st) {
    log.end();
    log.text("Largest pixel value in background rectangle  = ").num(st.largest).end();
    log.text("Smallest pixel value in background rectangle = ").num(st.smallest).end();
    log.text("Average background rectangle DC = ").num(st.mean).end();
    log.text("STD DEV background rectangle DC = ").num(st.standardDeviation).end();
    log.text("Median pixel value in background rectangle (background)= ").num(st.median).end();
}

void logStar(RunLog& log, const StarPosition& star) {
    log.end().line("Target star position in original image by brightest pixel:");
    log.text("   COLUMN = ").num(star.brightestColumn).end();
    log.text("      ROW = ").num(star.brightestRow).end();
    log.text("Maximum pixel DC = ").num(star.brightestValue).end();
    log.line("Target star position in original image by centroid method:");
    log.text("   COLUMN = ").num(star.centroidColumn).end();
    log.text("      ROW = ").num(star.centroidRow).end();
}

void logRings(RunLog& log, const RingPhotometry& r) {
    log.end().line("Data for rings:");
    for (const RingStep& ring : r.rings) {
        log.text("  Ring # ")
            .num(ring.number)
            .text(" pixels in ring = ")
            .numLong(static_cast<double>(ring.pixels));
        log.text(" median DC = ").num(ring.median).text(" old median = ").num(ring.oldMedian);
        log.text(" old median 2 = ").num(ring.oldMedian2).end();
    }
    log.end().text("Inner ring radius = ").num(r.innerRadius).end();
    log.text("Outer ring radius = ").num(r.outerRadius).end();
    // A fixed aperture's annulus need not start at its radius.
    if (r.fixedAperture) log.text("Sky annulus inner radius = ").num(r.annulusInner).end();
    log.text("Number of pixels in outer ring = ").numLong(r.annulusCount).end();
    log.text("Median background DC = ").num(r.skyLevel).end();
    // A corrected signal: the aperture's own, and how far the curve of growth was read.
    if (r.lightRadius > 0.0f) {
        log.text("Aperture star DC - background = ").num(r.apertureDC).end();
        log.text("Light taken out to radius = ").num(r.lightRadius).end();
        log.text("Light within that radius DC - background = ").num(r.lightDC).end();
        log.text("Aperture correction = ").numLong(r.correction).end();
    }
    log.text("Integrated star DC - background = ").num(r.integratedDC).end();
    log.text("Stellar Magnitude = ").numLong(r.magnitude).end();
}

void logSky(RunLog& log, const SkyPosition& p) {
    log.end().text("Stellar Elevation Angle (deg) = ").num(p.elevation).end();
    log.text("Stellar Zenith Angle (deg) = ").numLong(p.zenithAngle).end();
    log.text("Optical Airmass (X) = ").num(p.airmass).end();
}

void logFollowed(RunLog& log, double column, double row, double shiftColumn, double shiftRow,
                 double turnDegrees) {
    char text[200];
    // Whole pixels and degrees, never "-0".
    std::snprintf(text, sizeof text,
                  "Star followed to COLUMN = %ld ROW = %ld (field shift %ld, %ld; turned by %ld "
                  "degrees)",
                  std::lround(column), std::lround(row), std::lround(shiftColumn),
                  std::lround(shiftRow), std::lround(turnDegrees));
    log.line(text);
}

namespace {

// A line more for a signal corrected to the light within a multiple of each frame's FWHM.
void logApertureCorrection(RunLog& log, const ApertureGeometry& g) {
    if (!(g.lightPerFwhm > 0.0)) return;
    char text[320];
    std::snprintf(text, sizeof text,
                  "Aperture correction: each frame's light out to %g x its own FWHM (at most "
                  "%.5g px, %g x the widest FWHM %.5g px); sky annulus beyond the wings",
                  g.lightPerFwhm, g.lightPerFwhm * g.widestFwhm, g.lightPerFwhm, g.widestFwhm);
    std::string line = text;
    // The night's correction, from the narrowest star to the widest.
    if (g.growth) {
        const GrowthCorrection& c = *g.growth;
        std::snprintf(text, sizeof text,
                      "; fitted to the curves of growth of %d frames: %.5g at FWHM %.5g px to "
                      "%.5g at %.5g px",
                      c.frames, growthFactor(c, c.narrowest), c.narrowest,
                      growthFactor(c, c.widest), c.widest);
        line += text;
    }
    log.line(line);
}

}  // namespace

void logAperture(RunLog& log, const ApertureSettings& asked,
                 const std::optional<ApertureGeometry>& aperture, const ApertureBasis& basis) {
    if (!aperture) {
        log.end().line("Aperture = auto: no frame gave the star's width; the rings grow");
        return;
    }
    char text[320];
    std::string rule = "fixed";
    if (asked.rule == ApertureRule::automatic) {
        std::snprintf(text, sizeof text, "auto (%g x the median FWHM)", kAutoRadiusPerFwhm);
        rule = text;
    }
    // The rule, the radius and the annulus, then what they were chosen from.
    std::snprintf(text, sizeof text, "Aperture = %s: radius %.5g px; sky annulus %.5g to %.5g px",
                  rule.c_str(), aperture->radius, aperture->annulusInner, aperture->annulusOuter);
    std::string line = text;
    if (needsNightWidth(asked)) {
        std::snprintf(text, sizeof text, "; median FWHM %.5g px of %d frames", basis.medianFwhm,
                      basis.framesMeasured);
        line += text;
    }
    // Other stars: in the aperture, or left out of the annulus.
    if (basis.starsHeld > 0) {
        const bool one = basis.starsHeld == 1;
        std::snprintf(
            text, sizeof text,
            asked.rule == ApertureRule::automatic
                ? "; %d other star%s taken into the aperture"
                : "; %d other star%s light reaches into the aperture",
            basis.starsHeld,
            asked.rule == ApertureRule::automatic ? (one ? "" : "s") : (one ? "'s" : "s'"));
        line += text;
    }
    if (!aperture->masks.empty()) {
        std::snprintf(text, sizeof text, "; %zu other star%s left out of the annulus",
                      aperture->masks.size(), aperture->masks.size() == 1 ? "" : "s");
        line += text;
    }
    log.end().line(line);
    logApertureCorrection(log, *aperture);
}

}  // namespace orvel
