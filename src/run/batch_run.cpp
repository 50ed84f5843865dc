#include "run/batch_run.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "analysis/image_statistics.h"
#include "dialogue/graph_session.h"
#include "graph/graph_file.h"
#include "night/discovery.h"
#include "night/night_log.h"
#include "night/night_loop.h"
#include "observing/coordinates.h"
#include "platform/offscreen_window.h"
#include "report/results_files.h"
#include "run/night_outputs.h"
#include "run/phases.h"

namespace orvel {

namespace {

// A pick must name a pixel of the first frame; the run ends otherwise.
void checkPick(const char* option, float column, float row, const PixelImage& image) {
    const double lastColumn = image.columns - 1;
    const double lastRow = image.rows - 1;
    if (column >= 0 && row >= 0 && column <= lastColumn && row <= lastRow) return;
    char pick[64];
    std::snprintf(pick, sizeof pick, "%g,%g", static_cast<double>(column),
                  static_cast<double>(row));
    throw OptionRefused{std::string("option ") + option + " '" + pick +
                        "' lies outside the first frame (" + std::to_string(image.columns) + " x " +
                        std::to_string(image.rows) + " pixels)"};
}

// The picks of an interactive run at a screen factor of 1, with the same log lines.
StarPicker givenPicks(const BatchOptions& o, RunLog& log) {
    return [&o, &log](const PixelImage& image, const FirstImageStats& stats, std::string_view) {
        checkPick("--star", o.starColumn, o.starRow, image);
        checkPick("--background", o.backgroundColumn, o.backgroundRow, image);
        logFirstImage(log, stats);
        // No desktop: the factor is 1 and the log shows 0, as for a frame that fits the screen.
        logScreenFactor(log, screenFactor(image.columns, image.rows, 0, 0));
        StarSelection s;
        s.screenFactor = 1.0f;
        s.starX = o.starColumn;
        s.starY = o.starRow;
        logStarPick(log, s.starX, s.starY);
        s.backgroundX = o.backgroundColumn;
        s.backgroundY = o.backgroundRow;
        logBackgroundPick(log, s.backgroundX, s.backgroundY);
        placeBackgroundRectangle(s, image.columns, image.rows);
        return s;
    };
}

ObservingSetup typedSetup(const BatchOptions& o) {
    ObservingSetup setup;
    setup.latitude = angleFromLine(o.latitude, true);
    setup.longitude = angleFromLine(o.longitude, true);
    setup.rightAscension = angleFromLine(o.rightAscension, false);
    setup.declination = angleFromLine(o.declination, true);
    return setup;
}

// The fit, each removal in turn, and the graph file. Returns the exit status.
int fitAndRemove(const BatchOptions& o, NightRecord& night, Console& console, RunLog& log) {
    int status = 0;
    // The graph is drawn only when it is to be saved.
    OffscreenWindow window(o.graphFile ? OffscreenWindow::Surface::drawn
                                       : OffscreenWindow::Surface::none);
    GraphSession graph(night, window, console, log);
    graph.open();
    graph.refit();
    for (const std::string& name : o.removals) {
        console.endLine();
        const std::optional<std::size_t> frame = findIncludedFrame(night, name);
        if (!frame) {
            // The fit then still holds a frame the caller meant to leave out.
            console.printLine("orvel: --remove " + name +
                              ": no such frame in the fit; nothing removed");
            status = 1;
            continue;
        }
        removeFrame(night, *frame);
        console.printLine("Removed " + name + "; extinction coefficient re-calculated.");
        graph.refit();
    }
    if (o.graphFile && !saveWindowPicture(window, *o.graphFile)) {
        console.printLine("orvel: the graph could not be written to " + o.graphFile->string());
        status = 1;
    }
    window.close();
    return status;
}

// Everything after the log is open: coordinates, frames, fit, removals, graph, results.
int runNight(const BatchOptions& o, Console& console, RunLog& log) {
    logScreenSize(log, 0, 0);
    const ObservingSetup setup = typedSetup(o);
    logObservingSetup(log, setup);
    const NightPlan plan{findFrames(o.run, o.run.folder, log, console),
                         setup,
                         o.run.folder,
                         {},
                         o.run.preciseAirmass,
                         o.run.aperture};
    if (plan.files.files.empty()) {
        console.printLine(o.run.frames.active()
                              ? "orvel: no file in " + o.run.folder.string() + " matches --frames"
                              : "orvel: no image files (*R.fit, *G.fit, *B.fit) in " +
                                    o.run.folder.string());
        return 1;
    }
    std::optional<FieldCrop> field;
    const bool keep = o.run.fieldFile || o.run.reportFile;
    NightRecord night =
        measureNight(plan, keepingField(givenPicks(o, log), field, keep), console, log);
    prepareFits(night, o.run, console, log);
    int status = 0;
    if (!night.anyMeasured()) {
        console.printLine("orvel: no frame could be measured");
        status = 1;
    } else {
        status = fitAndRemove(o, night, console, log);
    }
    if (!writeResultsFiles(night, o.run.folder)) {
        console.printLine("orvel: the results files could not be written in " +
                          o.run.folder.string());
        status = 1;
    }
    if (!writeNightOutputs({night, plan.setup, field, o.run.fieldFile}, o.run, o.run.folder,
                           console))
        status = 1;
    return status;
}

}  // namespace

int runBatch(const BatchOptions& o, Console& console) {
    RunLog log = openRunLog(o.run.folder, console);
    try {
        int status = runNight(o, console, log);
        // The log is the record of an unattended run: a run without all of it did not
        // succeed. A log that could not be created was said when it was opened.
        if (!log.isOpen()) status = 1;
        if (log.writeFailed()) {
            console.printLine("orvel: the log could not be written in full in " +
                              o.run.folder.string());
            status = 1;
        }
        return status;
    } catch (const std::bad_alloc&) {
        // A frame claiming more pixels than memory holds must not take the log with it.
        console.printLine(
            "orvel: there is not enough memory to go on; the log keeps everything "
            "measured");
    } catch (const std::exception& e) {
        console.printLine(std::string("orvel: the run cannot go on (") + e.what() +
                          "); the log keeps everything measured");
    }
    return 1;
}

}  // namespace orvel
