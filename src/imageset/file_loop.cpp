#include "imageset/file_loop.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

#include "analysis/background.h"
#include "analysis/image_display.h"
#include "analysis/image_statistics.h"
#include "analysis/ring_photometry.h"
#include "analysis/selection.h"
#include "analysis/star_position.h"
#include "fits/fits_file.h"
#include "fits/fits_header.h"
#include "fits/pixel_decoder.h"
#include "observing/airmass.h"
#include "platform/session_end.h"
#include "run/number_format.h"
#include "run/numeric.h"

namespace orvel {

namespace {

// The frame size every later frame must share (the frames are co-registered).
struct ReferenceSize {
    bool known = false;
    int columns = 0;
    int rows = 0;
};

// A console that only collects what is written, for a frame measured beside the dialogue.
class CollectingConsole : public Console {
  public:
    void setTitle(std::string_view) override {}
    void print(std::string_view text) override { text_.append(text); }
    std::optional<std::string> readLine() override { return std::nullopt; }
    void toFront() override {}
    const std::string& text() const { return text_; }

  private:
    std::string text_;
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

// The lines that open each pass, in the log and on the console.
void announce(int i, int n, const FileMeasurement& m, Console& console, RunLog& log) {
    log.end().text("Current file number = ").num(i).text("  (").text(m.name).text(")").end();
    log.end().text("File type = ").num(m.band).end();
    console.print("PROCESSING FILE ");
    console.printNumber(i);
    console.print(" OF ");
    console.printNumber(n);
    console.endLine();
}

// Opens the frame and reads its header. False (after reporting why) when it cannot take part.
bool readHeader(FitsFile& file, const std::filesystem::path& path, FileMeasurement& m,
                const ReferenceSize& reference, Console& console, RunLog& log) {
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
    return true;
}

// Rings grow to at most 100 and the sky annulus reaches sqrt(2) x 101 pixels from the centre.
int ringReach() {
    const double largest = kMaxRings + 1;
    return toInt(std::sqrt(2.0 * largest * largest)) + 1;
}

void keepRings(const RingPhotometry& rings, FileMeasurement& m) {
    m.innerRadius = static_cast<float>(rings.innerRadius);
    m.skyLevel = rings.skyLevel;
    m.integratedDc = rings.integratedDC;
    m.magnitude = rings.magnitude;
}

void measureAirmass(const ObservingSetup& setup, FileMeasurement& m, RunLog& log) {
    const SkyPosition sky = computeAirmass(m.header, setup, log);
    m.elevation = sky.elevation;
    m.airmass = sky.airmass;
    m.measured = true;
}

// Background, star, rings and airmass of a frame held whole.
void measure(const PixelImage& image, const StarSelection& selection, const ObservingSetup& setup,
             FileMeasurement& m, RunLog& log) {
    const BackgroundAndStar bs = measureBackgroundAndStar(image, selection, log);
    m.ringColumn = bs.star.brightestColumn;
    m.ringRow = bs.star.brightestRow;
    keepRings(measureRings(image, m.ringColumn, m.ringRow, log), m);
    measureAirmass(setup, m, log);
}

// Rows read about the star first: enough for rings up to about 20 pixels, which is where the
// growth stops for most stars.
constexpr int kFirstRingReach = 32;

// Reads image rows from..to (whole numbers, either of which may lie far outside the image).
// The span is held inside the image before it becomes an integer, so no pick can overflow.
void readRowSpan(const FitsFile& file, const ImageHeader& header, double from, double to,
                 PixelImage& rows) {
    const double rowCount = std::max(header.rows, 0);
    // fmax and fmin pass over NaN, which reads nothing rather than converting it.
    const double first = std::fmin(std::fmax(from, 0.0), rowCount);
    const double last = std::fmin(std::fmax(to, first - 1.0), rowCount - 1.0);
    readPixelRows(file, header, static_cast<int>(first), static_cast<int>(last - first + 1.0),
                  rows);
}

// A later frame read only where it is measured: the rows of the background rectangle, and the
// rows of the search square with the rings about any pixel in it. When the rings grow beyond
// those rows, the rows of the largest rings and annulus are read and the rings measured again.
void measureFromWindows(FitsFile& file, const StarSelection& selection, const ObservingSetup& setup,
                        FileMeasurement& m, PixelImage& backgroundRows, PixelImage& starRows,
                        RunLog& log) {
    logSampleCount(m.header, samplesInFile(file, m.header), log);
    readRowSpan(file, m.header, std::trunc(static_cast<double>(selection.y1)),
                std::trunc(static_cast<double>(selection.y2)), backgroundRows);
    const double sf = selection.screenFactor;
    const int clickRow = toInt(sf * selection.starY);
    const double half = sf * selection.radius;
    const auto readStarRows = [&](int reach) {
        readRowSpan(file, m.header, roundHalfEven(clickRow - half) - reach,
                    roundHalfEven(clickRow + half) + reach, starRows);
    };
    readStarRows(kFirstRingReach);

    const BackgroundStats background = measureBackground(backgroundRows, selection, log);
    const StarPosition star = locateStar(starRows, selection, background.median, log);
    m.ringColumn = star.brightestColumn;
    m.ringRow = star.brightestRow;
    RunLog ringLog = RunLog::inMemory();
    std::optional<RingPhotometry> rings =
        measureRingsInWindow(starRows, m.ringColumn, m.ringRow, ringLog);
    if (!rings) {
        readStarRows(ringReach());
        ringLog.clear();
        rings = measureRings(starRows, m.ringColumn, m.ringRow, ringLog);
    }
    log.raw(ringLog.contents());
    keepRings(*rings, m);
    measureAirmass(setup, m, log);
}

// What one later frame gives: its log section, its console lines and its results.
struct FrameOutcome {
    std::string logSection;
    std::string consoleText;
    FileMeasurement measurement;
};

// Buffers of one worker, reused from frame to frame.
struct FrameBuffers {
    PixelImage backgroundRows;
    PixelImage starRows;
};

FrameOutcome measureLaterFrame(int i, int n, FileMeasurement m, const std::filesystem::path& folder,
                               const ReferenceSize& reference, const StarSelection& selection,
                               const ObservingSetup& setup, FrameBuffers& buffers) {
    RunLog log = RunLog::inMemory();
    CollectingConsole console;
    announce(i, n, m, console, log);
    try {
        FitsFile file;
        if (readHeader(file, folder / m.name, m, reference, console, log))
            measureFromWindows(file, selection, setup, m, buffers.backgroundRows, buffers.starRows,
                               log);
    } catch (const std::exception& e) {
        // Out of memory or a failed read: this frame is reported, the night goes on.
        m.measured = false;
        reportUnusable(m, std::string("it could not be read (") + e.what() + ")", console, log);
    }
    return {log.contents(), console.text(), std::move(m)};
}

// Measures frames [first, n] with several workers and hands each outcome over in file order,
// as soon as it and all before it are ready. At most a few frames wait to be handed over.
template <typename Deliver>
void measureInParallel(int first, int n, int workers, const std::vector<FileMeasurement>& start,
                       const std::filesystem::path& folder, const ReferenceSize& reference,
                       const StarSelection& selection, const ObservingSetup& setup,
                       Deliver&& deliver) {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<int, FrameOutcome> ready;
    int nextToTake = first;
    int nextToDeliver = first;
    bool stopping = false;  // the delivery failed: workers stop taking frames
    const int window = 4 * workers;
    auto work = [&] {
        FrameBuffers buffers;
        for (;;) {
            int i;
            {
                std::unique_lock lock(mutex);
                // Do not run too far ahead of the frame being handed over.
                changed.wait(lock, [&] {
                    return stopping || nextToTake > n || nextToTake < nextToDeliver + window;
                });
                if (stopping || nextToTake > n) return;
                i = nextToTake++;
            }
            FrameOutcome outcome = measureLaterFrame(i, n, start[static_cast<std::size_t>(i - 1)],
                                                     folder, reference, selection, setup, buffers);
            {
                std::lock_guard lock(mutex);
                ready.emplace(i, std::move(outcome));
            }
            changed.notify_all();
        }
    };
    std::vector<std::jthread> pool;
    try {
        // Started inside the try: if a thread cannot be made, those already running are
        // stopped below before the pool is joined.
        for (int w = 0; w < workers; ++w) pool.emplace_back(work);
        while (nextToDeliver <= n) {
            FrameOutcome outcome;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return ready.count(nextToDeliver) > 0; });
                auto it = ready.find(nextToDeliver);
                outcome = std::move(it->second);
                ready.erase(it);
            }
            deliver(nextToDeliver, std::move(outcome));
            {
                std::lock_guard lock(mutex);
                ++nextToDeliver;
            }
            changed.notify_all();
        }
    } catch (...) {
        // Waiting workers are woken and told to stop, so the pool can be joined.
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        throw;
    }
}

void store(NightMeasurements& night, int i, const FileMeasurement& m) {
    if (!m.measured) return;
    FileObservation& o = night.observations[static_cast<std::size_t>(i - 1)];
    o.band = static_cast<float>(m.band);
    o.airmass = m.airmass;
    o.magnitude = static_cast<float>(m.magnitude);
    o.included = 1.0f;
    o.measured = true;
    night.anyMeasured = true;
}

}  // namespace

StarPicker interactivePicker(DesktopSize desktop, Console& console, GraphicsWindow& window,
                             RunLog& log) {
    return [desktop, &console, &window, &log](const PixelImage& image, std::string_view name) {
        const FirstImageStats stats = analyseFirstImage(image, log);
        const int sf = screenFactor(image.columns, image.rows, desktop.width, desktop.height, log);
        if (!showFirstImage(window, image, stats.p1, stats.p999, sf, name)) {
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
                                    Console& console, RunLog& log, LoopOptions options) {
    NightMeasurements night;
    const int n = static_cast<int>(files.names.size());
    night.observations.resize(files.names.size());
    night.details.resize(files.names.size());
    int band = 0;  // a name without a band letter keeps the previous name's band
    for (int i = 1; i <= n; ++i) {
        FileMeasurement& m = night.details[static_cast<std::size_t>(i - 1)];
        m.name = files.names[static_cast<std::size_t>(i - 1)];
        if (const int b = bandOfName(m.name); b != 0) band = b;
        m.band = band;
    }

    // Every frame up to the first usable one is read whole, one at a time: that frame is shown
    // and picked on. In the whole-frame mode every later frame is read the same way.
    ReferenceSize reference;
    PixelImage image;
    const auto readWholeAndMeasure = [&](int k) {
        FileMeasurement& m = night.details[static_cast<std::size_t>(k - 1)];
        announce(k, n, m, console, log);
        FitsFile file;
        if (!readHeader(file, folder / m.name, m, reference, console, log)) return;
        readPixels(file, m.header, image, log);
        if (!reference.known) {
            reference = {true, m.header.columns, m.header.rows};
            night.selection = pick(image, m.name);
        }
        measure(image, night.selection, setup, m, log);
        store(night, k, m);
    };
    int i = 1;
    while (i <= n && !reference.known) readWholeAndMeasure(i++);
    if (options.wholeFrames) {
        while (i <= n) readWholeAndMeasure(i++);
        return night;
    }
    // The first frame's pixels are no longer needed: later frames hold only windows of rows.
    image = PixelImage{};
    if (i > n) return night;
    int workers = options.workers > 0 ? options.workers
                                      : static_cast<int>(std::thread::hardware_concurrency());
    workers = std::clamp(workers, 1, n - i + 1);
    measureInParallel(i, n, workers, night.details, folder, reference, night.selection, setup,
                      [&](int k, FrameOutcome outcome) {
                          log.raw(outcome.logSection);
                          console.print(outcome.consoleText);
                          night.details[static_cast<std::size_t>(k - 1)] =
                              std::move(outcome.measurement);
                          store(night, k, night.details[static_cast<std::size_t>(k - 1)]);
                      });
    return night;
}

}  // namespace orvel
