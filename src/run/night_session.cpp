#include "run/night_session.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/display_text.h"
#include "night/altitude_check.h"
#include "night/header_notes.h"
#include "platform/session_end.h"
#include "report/fit_report.h"
#include "report/results_files.h"
#include "run/night_outputs.h"

namespace orvel {

namespace {

constexpr std::string_view kLogName = "ORVEL_LOG.txt";
constexpr int kMissingCoordinates = 2;  // the status of a run without its site or star

// The night's frames: chosen by --frames when it is given, otherwise by their names' band
// letters. Found before the questions, so that the first frame's header can offer the site and
// the star; nothing is said of them until reportFrames.
ImageFileList listFrames(const RunOptions& options) {
    return options.frames.active() ? selectFrames(options.folder, options.frames)
                                   : discoverImages(options.folder);
}

// The list goes to the log (and, when nothing is found although the folder holds FITS frames,
// the console says which and how to measure them).
void reportFrames(const ImageFileList& files, const RunOptions& options, RunLog& log,
                  Console& console) {
    reportDiscovery(log, console, files);
    // The console alone says which bands came from names: the log lists the frames as ever.
    if (const std::string note = bandsFromNamesNote(files, options.frames); !note.empty())
        console.printLine(note);
    if (files.files.empty()) {
        // Why the run ends, on the console too: the log is not where a user looks first.
        console.printLine("No frames found in " + displaySafe(options.folder.string()) +
                          (options.frames.active()
                               ? ": no file matches the --frames patterns."
                               : ": no file name ends in R.fit, G.fit or B.fit."));
        if (const std::string hint = options.frames.active() ? "" : captureHint(options.folder);
            !hint.empty())
            console.printLine(hint);
    }
}

// After the frames are measured: the fit as the options say, and with --reject the frames too
// far from their band's line left out, each named on the console and in the log.
void prepareFits(NightRecord& night, const RunOptions& options, Console& console, RunLog& log) {
    night.fitting = options.fitting;
    // The log's lines after this are the weighted fit's: it says so once.
    if (options.fitting.weighted)
        log.line("Fit weighted by each frame's error from its photon, sky and read noise");
    if (!options.rejectLimit) return;
    const std::vector<Rejection> rejected = rejectOutliers(night, *options.rejectLimit);
    if (!rejected.empty()) console.endLine();
    for (const Rejection& r : rejected) {
        const FrameRecord& f = night.frames[r.frame];
        char text[160];
        std::snprintf(text, sizeof text, ": %.1f robust deviations from the %s line; left out.",
                      r.deviations, std::string(bandLabel(f.band)).c_str());
        console.printLine("Rejected " + f.name + text);
        log.line("Rejected " + f.name + text);
    }
}

// The phases after the frames are measured, with what they share.
class FittedNight {
  public:
    FittedNight(NightOperator& op, NightRecord& night, Console& console, RunLog& log)
        : op_(op), night_(night), console_(console), log_(log), fit_(describeFit(night)) {}

    // The graph's ranges in the log, the first fit reported, then each removal and its refit.
    void fitAndRemove() {
        GraphLayout layout = graphLayout(night_);
        logGraphRanges(log_, layout.ranges);
        op_.openGraph(night_, std::move(layout));
        refit();
        while (const std::optional<FrameEdit> edit = op_.nextEdit(night_)) {
            if (edit->restore) {
                restoreFrame(night_, edit->frame);
            } else {
                removeFrame(night_, edit->frame);
            }
            refit();
        }
    }
    const NightFit& fit() const { return fit_; }

  private:
    // The night fitted again, reported on the console and in the log, and shown.
    void refit() {
        fit_ = fitNight(night_);
        reportFit(fit_, log_, console_);
        // The frames' own warnings once, with the first report; the fit's after every report.
        reportWarnings(night_, fit_, console_, !reported_);
        reported_ = true;
        op_.showFit(fit_);
    }

    NightOperator& op_;
    NightRecord& night_;
    Console& console_;
    RunLog& log_;
    NightFit fit_;
    bool reported_ = false;
};

// The exit status of a --strict run whose fit is not good in every band with frames.
constexpr int kDoubtfulStatus = 3;

bool allGood(const NightFit& fit) {
    for (const BandResult& r : fit.bands)
        if (r.files > 0 && r.verdict != Verdict::good) return false;
    return true;
}

// What the outputs after the fit show besides the night and its fit.
struct OutputsAsked {
    const ObservingSetup& setup;                     // as typed or given
    const std::optional<FieldCrop>& field;           // the first frame's crop, when kept
    std::optional<std::filesystem::path> fieldFile;  // where the field picture goes
};

// The fits, removals, results files and outputs of a measured night.
int finishNight(NightOperator& op, const RunOptions& options, NightRecord& night,
                const OutputsAsked& outputs, Console& console, RunLog& log) {
    FittedNight fitted(op, night, console, log);
    const auto writeResults = [&] {
        if (!writeResultsFiles(night, fitted.fit(), options.folder)) op.resultsNotWritten();
    };
    bool plotBeside = false;
    try {
        if (night.anyMeasured() || op.fitUnmeasured()) {
            fitted.fitAndRemove();
            plotBeside = op.closeGraph();
        }
    } catch (const SessionEnded&) {
        // The files hold the last fit reported, as the log does.
        writeResults();
        throw;
    }
    writeResults();
    const NightOutputs out{night,         fitted.fit(),      outputs.setup,
                           outputs.field, outputs.fieldFile, op.repeatCommandText()};
    bool ok = true;
    if (plotBeside)
        ok &= writeSavedGraphPlot(night, fitted.fit(), out.setup, options, options.folder, console);
    ok &= writeNightOutputs(out, options, options.folder, console);
    if (!ok) return 1;
    return options.strict && !allGood(fitted.fit()) ? kDoubtfulStatus : 0;
}

}  // namespace

RunLog openRunLog(const std::filesystem::path& folder, Console& console) {
    RunLog log;
    if (!log.openFile(folder / kLogName)) {
        // The dialogue still runs; the user learns once that nothing will be recorded.
        console.printLine(
            "The log file ORVEL_LOG.txt cannot be created here; the run goes on "
            "without a log.");
    }
    return log;
}

int runNightSession(NightOperator& op, const RunOptions& options, Console& console, RunLog& log) {
    op.logScreen(log);
    ImageFileList files = listFrames(options);
    const FrameCoordinates offered = frameCoordinates(
        options.folder, files,
        options.preciseAirmass && options.preciseAirmass->equinox == Equinox::j2000);
    const std::optional<ObservingSetup> given = op.setup(log, offered);
    if (!given) return kMissingCoordinates;
    const ObservingSetup& setup = *given;
    reportFrames(files, options, log, console);
    const NightPlan plan{std::move(files),       setup,           options.folder, {},
                         options.preciseAirmass, options.aperture};
    if (plan.files.files.empty()) return op.noFrames();
    std::optional<FieldCrop> field;
    const std::optional<std::filesystem::path> fieldFile = op.fieldFile();
    PickRecorder picks(log);
    NightRecord night = measureNight(
        plan, keepingField(op.picker(picks), field, fieldFile || options.reportFile), console, log);
    // Where the frames' times came from, when not from a UTC DATE-OBS: once, on the console.
    if (const std::string note = frameTimesNote(night); !note.empty()) console.printLine(note);
    if (const std::string note = gainSettingNote(night); !note.empty()) console.printLine(note);
    if (const std::string warning = altitudeWarning(night, setup); !warning.empty())
        console.printLine(warning);
    prepareFits(night, options, console, log);
    const int status = finishNight(op, options, night, {setup, field, fieldFile}, console, log);
    return std::max(status, op.status());
}

}  // namespace orvel
