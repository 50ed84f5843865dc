#include "night/night_loop.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <numbers>
#include <string>
#include <thread>
#include <utility>

#include "fits/fits_file.h"
#include "fits/fits_header.h"
#include "fits/frame_file.h"
#include "fits/pixel_decoder.h"
#include "night/frame_acceptance.h"
#include "night/frame_pipeline.h"
#include "night/frame_pool.h"
#include "night/frame_reading.h"
#include "night/night_log.h"
#include "night/star_follow.h"

namespace orvel {

namespace {

// Where one pass writes its lines.
struct Lines {
    RunLog& log;
    ConsoleText& console;
};

// What every pass of the night shares.
struct PassContext {
    const NightPlan& plan;
    const std::vector<FrameRecord>& listed;  // the frames as listed, before any pass
    int total = 0;                           // frames listed
    ReferenceSize reference;                 // the size of the first usable frame, once it is known
    StarSelection selection;                 // the picks made on it
    FrameMethod method;      // how every frame is measured; its aperture settled after the pick
    std::size_t picked = 0;  // the index of the frame picked on
    std::vector<FollowedStar> followed;  // each frame's star followed from the pick (may be
                                         // empty: every frame measured at the picks)
};

// The picks for frame `index` (its header read): those made, or moved to where its star was
// followed to.
StarSelection selectionFor(const PassContext& ctx, std::size_t index, const ImageHeader& h) {
    if (index >= ctx.followed.size() || !followMoves(ctx.followed[index])) return ctx.selection;
    return followedSelection(ctx.selection, ctx.followed[ctx.picked], ctx.followed[index],
                             h.columns, h.rows);
}

// Why a frame whose star was followed cannot be measured: its star was not found, or it lies
// too near the frame's edge for the search square and the rings or annulus about it.
std::string followProblem(const PassContext& ctx, std::size_t index, const ImageHeader& h) {
    if (index >= ctx.followed.size()) return {};
    const FollowedStar& f = ctx.followed[index];
    char place[80];
    std::snprintf(place, sizeof place, "column %ld, row %ld", std::lround(f.column),
                  std::lround(f.row));
    if (followLost(f))
        return std::string("its star could not be found where it was expected (") + place + ")";
    if (!followMoves(f)) return {};
    // The search square inside the frame, and a fixed aperture's annulus; growing rings take
    // what the frame holds of them, as on the frame picked on.
    const double reach =
        std::max<double>(ctx.selection.radius * ctx.selection.screenFactor,
                         ctx.method.aperture ? ctx.method.aperture->annulusOuter : 0.0);
    if (f.column < reach || f.row < reach || f.column > h.columns - 1 - reach ||
        f.row > h.rows - 1 - reach)
        return std::string("its star was followed to ") + place +
               ", too near the frame's edge to be measured";
    return {};
}

// Workers for the frames from `first` on: as asked, or one per core, and no more than frames.
int workerCount(const PassContext& ctx, int first) {
    const int workers = ctx.plan.options.workers > 0
                            ? ctx.plan.options.workers
                            : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(workers, 1, std::max(ctx.total - first + 1, 1));
}

void leaveOut(FrameRecord& frame, std::string reason, Lines out) {
    reportUnusable(out.log, out.console, frame.name, reason);
    frame.measurement.reset();
    frame.state = FrameState::leftOut;
    frame.whyLeftOut = std::move(reason);
}

// Why the frame's header rules it out: as any frame's, or a colour mosaic too small to hold one
// 2 x 2 super-pixel.
std::string frameProblem(const FrameRecord& frame, const ReferenceSize& reference) {
    if (frame.source.mosaic && (frame.header.columns < 2 || frame.header.rows < 2))
        return "its colour mosaic is smaller than 2 x 2 pixels";
    return headerProblem(frame.header, reference);
}

// The frame's star followed: said in the log when it moved, or the frame left out when it
// cannot be measured. False when it is left out.
bool followed(const PassContext& ctx, std::size_t index, FrameRecord& frame, Lines out) {
    if (std::string problem = followProblem(ctx, index, frame.header); !problem.empty()) {
        leaveOut(frame, std::move(problem), out);
        return false;
    }
    if (index < ctx.followed.size() && followMoves(ctx.followed[index])) {
        const FollowedStar& f = ctx.followed[index];
        logFollowed(out.log, f.column, f.row, f.shiftColumn, f.shiftRow, f.turnDegrees);
    }
    return true;
}

// Opens the frame and reads its header. False (after saying why) when it cannot take part.
bool readHeader(FrameFile& file, const PassContext& ctx, FrameRecord& frame, Lines out) {
    file = openFrameFile(ctx.plan.folder, frame.source);
    if (!file.problem.empty()) {
        leaveOut(frame, file.problem, out);
        return false;
    }
    const HeaderScan& scan = file.scan;
    if (!scan.endFound) {
        leaveOut(frame, "its header has no END card before the end of the file", out);
        return false;
    }
    frame.header = frameHeader(file, frame.source);
    logHeader(out.log, scan.text, frame.header);
    if (std::string problem = frameProblem(frame, ctx.reference); !problem.empty()) {
        leaveOut(frame, std::move(problem), out);
        return false;
    }
    return true;
}

// A frame listed although it cannot be measured (its band cannot be told): said once, no pass.
bool listedWithoutBand(FrameRecord& frame, Lines out) {
    if (frame.whyLeftOut.empty()) return false;
    reportUnusable(out.log, out.console, frame.name, frame.whyLeftOut);
    frame.state = FrameState::leftOut;
    return true;
}

// The pixels the file holds: counted in the log, and enough for the whole image?
bool checkSamples(FrameRecord& frame, std::int64_t samples, Lines out) {
    frame.samplesRead = samples;
    logSampleCount(out.log, frame.header, samples);
    if (std::string problem = dataProblem(frame.header, samples); !problem.empty()) {
        leaveOut(frame, std::move(problem), out);
        return false;
    }
    return true;
}

// Whether a compressed frame's pixels read so far could all be decompressed; if not, the frame
// is left out with the reason (damaged data, not enough memory).
bool decompressed(FrameRecord& frame, const FrameFile& file, Lines out) {
    std::string problem = file.file.problem();
    if (problem.empty()) return true;
    leaveOut(frame, std::move(problem), out);
    return false;
}

// Writes the measurement's lines and keeps the frame, or leaves it out with the reason found in
// what was measured, written after the lines up to the block where it was found.
void judgeAndKeep(FrameRecord& frame, FrameMeasurement m, Lines out) {
    const std::optional<MeasurementProblem> problem = measurementProblem(frame.header, m);
    logBackground(out.log, m.background);
    logStar(out.log, m.star);
    logRings(out.log, m.rings);
    if (!problem || problem->stage == MeasuredStage::sky) logSky(out.log, m.sky);
    if (problem) {
        reportUnusable(out.log, out.console, frame.name, problem->reason);
        frame.state = FrameState::leftOut;
        frame.whyLeftOut = problem->reason;
    } else {
        frame.warnings = measurementWarnings(m);
        frame.state = FrameState::measured;
        frame.whyLeftOut.clear();
    }
    frame.measurement = std::move(m);
}

// What `measure(rows, frame, picks)` gives on frame `index` after the first, read quietly
// with the picks moved to where its star was followed: `none` when the frame cannot be used.
template <typename Result, typename Measure>
Result surveyLaterFrame(const PassContext& ctx, std::size_t index, PixelImage& buffer,
                        const Result& none, Measure& measure) {
    FrameRecord frame = ctx.listed[index];
    if (!frame.whyLeftOut.empty()) return none;
    try {
        const FrameFile file = openFrameFile(ctx.plan.folder, frame.source);
        if (!file.problem.empty() || !file.scan.endFound) return none;
        frame.header = frameHeader(file, frame.source);
        if (!frameProblem(frame, ctx.reference).empty() ||
            !dataProblem(frame.header, samplesInFile(file.file, frame.header)).empty())
            return none;
        FileRows source(file.file, frame.header, buffer);
        if (!followProblem(ctx, index, frame.header).empty()) return none;
        Result result =
            measure(source, std::as_const(frame), selectionFor(ctx, index, frame.header));
        return file.file.problem().empty() ? result : none;
    } catch (const std::exception&) {
        return none;
    }
}

// What `measure` gives on every frame from the first usable one on: `frame`, number `first`,
// whose header is read and whose pixels are `image`; `none` for a frame that cannot be used.
template <typename Result, typename Measure>
std::vector<Result> surveyFrames(const PassContext& ctx, int first, const FrameRecord& frame,
                                 const PixelImage& image, const Result& none, Measure measure) {
    WholeFrame whole(image);
    std::vector<Result> results = {measure(whole, frame, ctx.selection)};
    if (first >= ctx.total) return results;
    measureInOrder<PixelImage>(
        first + 1, ctx.total, workerCount(ctx, first + 1),
        [&](int i, PixelImage& buffer) {
            return surveyLaterFrame(ctx, static_cast<std::size_t>(i - 1), buffer, none, measure);
        },
        [&](int, Result result) { results.push_back(std::move(result)); });
    return results;
}

// Every frame's FWHM (NaN where it cannot be fitted).
std::vector<double> surveyWidths(const PassContext& ctx, int first, const FrameRecord& frame,
                                 const PixelImage& image) {
    return surveyFrames(ctx, first, frame, image, std::nan(""),
                        [&](RowSource& rows, const FrameRecord& f, const StarSelection& picks) {
                            return measureListedWidth(rows, f, picks);
                        });
}

// Every frame's curve of growth in the night's aperture, out to its corrected radius.
std::vector<GrowthSample> surveyGrowth(const PassContext& ctx, int first, const FrameRecord& frame,
                                       const PixelImage& image, const ApertureGeometry& aperture) {
    FrameMethod method = ctx.method;
    method.precise.reset();
    method.aperture = aperture;
    return surveyFrames(
        ctx, first, frame, image, GrowthSample{},
        [&](RowSource& rows, const FrameRecord& f, const StarSelection& picks) {
            const FrameMeasurement m = measureListedFrame(rows, f, picks, ctx.plan.setup, method);
            const RingPhotometry& r = m.rings;
            // The pixels between the radii, as the circles hold them.
            const double ring = std::numbers::pi *
                                (r.lightRadius * r.lightRadius - aperture.radius * aperture.radius);
            return GrowthSample{m.profile.fwhm, r.apertureDC, r.lightDC,
                                std::llround(std::max(ring, 1.0))};
        });
}

// What the user should know of the night's aperture: none could be chosen, the annulus given
// starts inside it, or a fixed one holds part of another star.
void warnAboutAperture(const ApertureSettings& asked, const std::optional<ApertureGeometry>& g,
                       int held, ConsoleText& console) {
    if (!g)
        console.printLine(
            "Warning: no frame gave the star's width; the rings grow about each frame's star "
            "instead of one aperture for the night.");
    else if (g->annulusInner < g->radius)
        console.printLine(
            "Warning: the sky annulus given starts inside the aperture chosen; its sky level "
            "holds the star's light.");
    if (held > 0 && asked.rule == ApertureRule::fixed)
        console.printLine(
            "Warning: another star's light reaches into the fixed aperture; its share changes "
            "with the seeing.");
}

// The night's aperture, settled once the star is picked on the first usable frame: the
// radius and annulus asked for, or chosen from the median of every frame's FWHM, and the log's
// line that names it. Without a width to choose from, the rings grow as described.
void settleAperture(PassContext& ctx, int first, const FrameRecord& frame, const PixelImage& image,
                    Lines out) {
    const ApertureSettings& asked = ctx.plan.aperture;
    if (asked.rule == ApertureRule::grow) return;
    std::vector<double> widths;
    if (needsNightWidth(asked)) widths = surveyWidths(ctx, first, frame, image);
    const double median = medianWidth(widths);
    std::optional<ApertureGeometry>& aperture = ctx.method.aperture;
    aperture = chooseAperture(asked, median, widestWidth(widths));
    int held = 0;
    if (aperture) {
        // Other stars about the star, found on the frame picked on.
        WholeFrame whole(image);
        const std::vector<NearbyStar> stars = findListedNearbyStars(
            whole, frame, ctx.selection, median, nearbyStarReach(*aperture, median));
        held = allowForNearbyStars(asked, stars, median, *aperture);
        // The night's aperture correction from every frame's curve of growth.
        if (aperture->lightPerFwhm > 0.0)
            aperture->growth =
                fitGrowthCorrection(surveyGrowth(ctx, first, frame, image, *aperture));
    }
    const auto measured =
        std::count_if(widths.begin(), widths.end(), [](double w) { return !std::isnan(w); });
    logAperture(out.log, asked, aperture, {median, static_cast<int>(measured), held});
    warnAboutAperture(asked, aperture, held, out.console);
}

// A star brighter than the one picked lies in its search square: the one nearest the pick is
// measured in every frame, which the user should know (said with the frames' warnings).
void warnOfBrighterStar(FrameRecord& frame) {
    if (!frame.included() || !frame.measurement->star.brighterStarNear) return;
    const std::string warning =
        "a star brighter than the one picked lies in its search square; the star nearest the "
        "pick is measured";
    frame.warnings.push_back(warning);
}

// A pass that reads the whole frame. The first usable frame sets the size and is picked on.
void passWholeFrame(PassContext& ctx, int number, FrameRecord& frame, PixelImage& image,
                    const StarPicker& pick, Lines out) {
    if (listedWithoutBand(frame, out)) return;
    reportFrameStart(out.log, out.console, number, ctx.total, frame);
    FrameFile file;
    if (!readHeader(file, ctx, frame, out)) return;
    // Until a frame is picked on, each is described as it is read.
    const bool first = !ctx.reference.known;
    const DescribedImage read =
        first ? readAndDescribeImage(file.file, frame.header, image)
              : DescribedImage{readPixels(file.file, frame.header, image), {}};
    if (!checkSamples(frame, read.samples, out) || !decompressed(frame, file, out)) return;
    const auto index = static_cast<std::size_t>(number - 1);
    if (first) {
        ctx.reference = {true, frame.header.columns, frame.header.rows};
        ctx.selection = pick(image, read.stats, frame.name);
        ctx.picked = index;
        NightFollow follow = followStar(ctx.plan.folder, ctx.listed, index, ctx.selection);
        ctx.followed = std::move(follow.frames);
        ctx.method.hotPixels = std::move(follow.hotPixels);
        WholeFrame whole(image);
        ctx.method.starFwhm = measureListedWidth(whole, frame, ctx.selection);
        settleAperture(ctx, number, frame, image, out);
    }
    if (!followed(ctx, index, frame, out)) return;
    WholeFrame source(image);
    judgeAndKeep(frame,
                 measureListedFrame(source, frame, selectionFor(ctx, index, frame.header),
                                    ctx.plan.setup, ctx.method),
                 out);
    if (first) warnOfBrighterStar(frame);
}

// What one later frame gives: its log lines, its console lines and its record.
struct FrameOutcome {
    std::string logLines;
    std::string consoleText;
    FrameRecord frame;
};

// A later frame, read only where it is measured, its lines kept until its turn comes.
FrameOutcome passLaterFrame(const PassContext& ctx, int number, FrameRecord frame,
                            PixelImage& buffer) {
    RunLog log = RunLog::inMemory();
    BufferedConsoleText console;
    const Lines out{log, console};
    if (listedWithoutBand(frame, out)) return {log.contents(), console.text(), std::move(frame)};
    reportFrameStart(log, console, number, ctx.total, frame);
    try {
        FrameFile file;
        const auto index = static_cast<std::size_t>(number - 1);
        if (readHeader(file, ctx, frame, out) &&
            checkSamples(frame, samplesInFile(file.file, frame.header), out) &&
            followed(ctx, index, frame, out)) {
            FileRows source(file.file, frame.header, buffer);
            FrameMeasurement m = measureListedFrame(
                source, frame, selectionFor(ctx, index, frame.header), ctx.plan.setup, ctx.method);
            if (decompressed(frame, file, out)) judgeAndKeep(frame, std::move(m), out);
        }
    } catch (const std::exception& e) {
        // Out of memory or a failed read: this frame is reported, the night goes on.
        leaveOut(frame, std::string("it could not be read (") + e.what() + ")", out);
    }
    return {log.contents(), console.text(), std::move(frame)};
}

// The frames from `first` on, several at a time, their lines written in file order.
void passLaterFrames(const PassContext& ctx, int first, NightRecord& night, Lines out) {
    const int n = ctx.total;
    const int workers = workerCount(ctx, first);
    const auto frameAt = [&](int i) -> FrameRecord& {
        return night.frames[static_cast<std::size_t>(i - 1)];
    };
    measureInOrder<PixelImage>(
        first, n, workers,
        [&](int i, PixelImage& buffer) { return passLaterFrame(ctx, i, frameAt(i), buffer); },
        [&](int i, FrameOutcome outcome) {
            out.log.raw(outcome.logLines);
            out.console.print(outcome.consoleText);
            frameAt(i) = std::move(outcome.frame);
        });
}

NightRecord listedFrames(const ImageFileList& files) {
    NightRecord night;
    night.bandCounts = files.bandCounts;
    night.frames.reserve(files.files.size());
    for (const ListedFile& f : files.files) {
        FrameRecord& frame = night.frames.emplace_back();
        frame.name = f.name;
        frame.band = f.band;
        frame.bandKnown = f.bandKnown;
        frame.whyLeftOut = f.whyLeftOut;
        frame.source = f.source;
    }
    return night;
}

}  // namespace

NightRecord measureNight(const NightPlan& plan, const StarPicker& pick, ConsoleText& console,
                         RunLog& log) {
    NightRecord night = listedFrames(plan.files);
    const std::vector<FrameRecord> listed = night.frames;
    PassContext ctx{plan, listed, static_cast<int>(night.frames.size()), {}, {}, {}, 0, {}};
    ctx.method.precise = plan.preciseAirmass;
    const Lines out{log, console};
    // Said once, before the frames, when the fit takes another airmass than the logged one.
    if (plan.preciseAirmass) log.end().text(describePreciseAirmass(*plan.preciseAirmass)).end();
    // Every frame up to the first usable one is read whole, one at a time: that frame is shown
    // and picked on. In the whole-frame mode every later frame is read the same way.
    PixelImage image;
    int i = 1;
    const auto passWhole = [&] {
        passWholeFrame(ctx, i, night.frames[static_cast<std::size_t>(i - 1)], image, pick, out);
        ++i;
    };
    while (i <= ctx.total && !ctx.reference.known) passWhole();
    night.selection = ctx.selection;
    if (plan.options.wholeFrames) {
        while (i <= ctx.total) passWhole();
        return night;
    }
    // The first frame's pixels are no longer needed: later frames hold only windows of rows.
    image = PixelImage{};
    if (i <= ctx.total) passLaterFrames(ctx, i, night, out);
    return night;
}

}  // namespace orvel
