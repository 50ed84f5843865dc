#include "imageset/file_loop.h"

#include "analysis/image_display.h"
#include "analysis/image_statistics.h"
#include "analysis/ring_photometry.h"
#include "analysis/selection.h"
#include "analysis/star_position.h"
#include "fits/fits_file.h"
#include "fits/fits_header.h"
#include "fits/pixel_decoder.h"
#include "fits/pixel_image.h"
#include "observing/airmass.h"
#include "platform/session_end.h"
#include "run/number_format.h"

namespace orvel {

namespace {

// The frame size every later frame must share (the frames are co-registered).
struct ReferenceSize {
    bool known = false;
    int columns = 0;
    int rows = 0;
};

// Why a frame cannot take part, or empty when it can.
std::string headerProblem(const ImageHeader& h, const ReferenceSize& reference) {
    if (bytesPerSample(h.bitpix) == 0)
        return "its BITPIX value" + formatShort(h.bitpix) + "is not 8, 16, 32, -32 or -64";
    if (h.columns <= 0 || h.rows <= 0)
        return "its image size" + formatShort(h.columns) + "x" + formatShort(h.rows) +
               "is not a positive number of columns and rows";
    if (!canDecode(h)) return "its image is too large to be read";
    if (reference.known && (h.columns != reference.columns || h.rows != reference.rows))
        return "its image size" + formatShort(h.columns) + "x" + formatShort(h.rows) +
               "differs from the first image's" + formatShort(reference.columns) + "x" +
               formatShort(reference.rows);
    if (!h.hasDate) return "it has no DATE-OBS";
    if (h.month < 1 || h.month > 12)
        return "its DATE-OBS month" + formatShort(h.month) + "is outside 1-12";
    return {};
}

void reportUnusable(FileMeasurement& m, std::string reason, Console& console, RunLog& log) {
    m.problem = std::move(reason);
    const std::string line = "File " + m.name + " is not used: " + m.problem + ".";
    console.printLine(line);
    log.end().line(line);
}

// Opens, reads the header and decodes the pixels of one frame. False (after reporting why)
// when the frame cannot take part.
bool readFrame(const std::filesystem::path& path, FileMeasurement& m,
               const ReferenceSize& reference, PixelImage& image, Console& console,
               RunLog& log) {
    FitsFile file;
    if (!file.open(path)) {
        reportUnusable(m, "it cannot be opened", console, log);
        return false;
    }
    const HeaderScan scan = readHeaderBlocks(file);
    if (!scan.endFound) {
        reportUnusable(m, "its header has no END card before the end of the file", console, log);
        return false;
    }
    parseHeader(scan, m.header, log);
    if (std::string problem = headerProblem(m.header, reference); !problem.empty()) {
        reportUnusable(m, std::move(problem), console, log);
        return false;
    }
    readPixels(file, m.header, image, log);
    return true;
}

// Background, star, rings and airmass of one frame with the picks in force.
void measureFrame(const PixelImage& image, const StarSelection& selection,
                  const ObservingSetup& setup, FileMeasurement& m, RunLog& log) {
    const BackgroundAndStar bs = measureBackgroundAndStar(image, selection, log);
    m.ringColumn = bs.star.brightestColumn;
    m.ringRow = bs.star.brightestRow;
    const RingPhotometry rings = measureRings(image, m.ringColumn, m.ringRow, log);
    m.innerRadius = static_cast<float>(rings.innerRadius);
    m.skyLevel = rings.skyLevel;
    m.integratedDc = rings.integratedDC;
    m.magnitude = rings.magnitude;
    const SkyPosition sky = computeAirmass(m.header, setup, log);
    m.elevation = sky.elevation;
    m.airmass = sky.airmass;
    m.measured = true;
}

}  // namespace

StarPicker interactivePicker(DesktopSize desktop, Console& console, GraphicsWindow& window,
                             RunLog& log) {
    return [desktop, &console, &window, &log](const PixelImage& image, std::string_view name) {
        const FirstImageStats stats = analyseFirstImage(image, log);
        const std::vector<float> grey = greyLevels(image, stats.p1, stats.p999);
        const int sf = screenFactor(image.columns, image.rows, desktop.width, desktop.height, log);
        if (!showFirstImage(window, image, grey, sf, name)) {
            std::string reason = window.noDisplayReason();
            throw SessionEnded{"No window can be opened to pick the star" +
                               (reason.empty() ? std::string(".") : ": " + reason)};
        }
        console.endLine();
        return selectStarAndBackground(window, console, log, image.columns, image.rows,
                                       static_cast<float>(sf));
    };
}

NightMeasurements processImageFiles(const ImageFileList& files, const ObservingSetup& setup,
                                    const std::filesystem::path& folder, const StarPicker& pick,
                                    Console& console, RunLog& log) {
    NightMeasurements night;
    const int n = static_cast<int>(files.names.size());
    night.observations.resize(files.names.size());
    night.details.resize(files.names.size());
    ReferenceSize reference;
    PixelImage image;
    int band = 0;  // kept from the previous name when a name carries no band letter
    for (int i = 1; i <= n; ++i) {
        FileMeasurement& m = night.details[static_cast<std::size_t>(i - 1)];
        m.name = files.names[static_cast<std::size_t>(i - 1)];
        log.end().text("Current file number = ").num(i).text("  (").text(m.name).text(")").end();
        if (const int b = bandOfName(m.name); b != 0) band = b;
        m.band = band;
        log.end().text("File type = ").num(band).end();
        console.print("PROCESSING FILE ");
        console.printNumber(i);
        console.print(" OF ");
        console.printNumber(n);
        console.endLine();

        if (!readFrame(folder / m.name, m, reference, image, console, log)) continue;
        if (!reference.known) {
            reference = {true, m.header.columns, m.header.rows};
            night.selection = pick(image, m.name);
        }
        measureFrame(image, night.selection, setup, m, log);

        FileObservation& o = night.observations[static_cast<std::size_t>(i - 1)];
        o.band = static_cast<float>(m.band);
        o.airmass = m.airmass;
        o.magnitude = static_cast<float>(m.magnitude);
        o.included = 1.0f;
        o.measured = true;
        night.anyMeasured = true;
    }
    return night;
}

}  // namespace orvel
