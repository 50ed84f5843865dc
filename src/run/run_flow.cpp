#include "run/run_flow.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "base/run_log.h"
#include "dialogue/coordinates_dialogue.h"
#include "dialogue/dialogue.h"
#include "dialogue/first_frame.h"
#include "dialogue/graph_session.h"
#include "night/discovery.h"
#include "night/night_log.h"
#include "night/night_loop.h"
#include "platform/session_end.h"
#include "report/results_files.h"
#include "run/night_outputs.h"
#include "run/phases.h"

namespace orvel {

namespace {

constexpr std::string_view kTitle = "ORVEL Atmospheric Extinction Coefficient Calculator";
constexpr std::string_view kLogName = "ORVEL_LOG.txt";

// The desktop size scales the first image; without a display only the picks are impossible.
DesktopSize measureDesktop(GraphicsWindow& window, Console& console, RunLog& log) {
    const std::optional<DesktopSize> desktop = window.desktopSize();
    if (!desktop) {
        std::string reason = window.noDisplayReason();
        if (reason.empty()) reason = "No graphics display is available.";
        console.printLine(reason + " The star and the background can only be picked on a display.");
    }
    const DesktopSize size = desktop.value_or(DesktopSize{});
    logScreenSize(log, size.width, size.height);
    return size;
}

// Ends the run before its closing question: the window goes, the log stays as written.
int endEarly(RunEnvironment& env, const std::string& reason) {
    if (env.window.isOpen()) env.window.close();
    env.console.endLine();
    env.console.printLine(reason + " The run ends; the log keeps everything measured.");
    return 1;
}

// The frames, the graph with its dialogue, and the results files.
void measureAndGraph(RunEnvironment& env, const NightPlan& plan, DesktopSize desktop, RunLog& log) {
    Console& console = env.console;
    std::optional<FieldCrop> field;
    NightRecord night = measureNight(
        plan, keepingField(interactivePicker(desktop, console, env.window, log), field, true),
        console, log);
    prepareFits(night, env.options, console, log);
    const auto writeResults = [&] {
        if (!writeResultsFiles(night, env.folder))
            console.printLine(
                "The results files ORVEL_results.csv and ORVEL_fit.csv could not be written.");
    };
    bool graphSaved = false;
    try {
        graphSaved = runGraphPhase(night, env.folder, console, env.window, log);
    } catch (const SessionEnded&) {
        // The files hold the last fit reported, as the log does.
        writeResults();
        throw;
    }
    writeResults();
    if (graphSaved) writeSavedGraphPlot(night, plan.setup, env.options, env.folder, console);
    // The interactive run always shows the field it measured, beside the log.
    const auto fieldFile = env.options.fieldFile.value_or(env.folder / "ORVEL_field.png");
    writeNightOutputs({night, plan.setup, field, fieldFile}, env.options, env.folder, console);
}

void closingPrompt(Console& console) {
    do {
        console.endLine();
    } while (!askFor(console, "Program is finished. Enter X to terminate. ", 'X'));
}

}  // namespace

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

ImageFileList findFrames(const RunOptions& options, const std::filesystem::path& folder,
                         RunLog& log, Console& console) {
    ImageFileList files =
        options.frames.active() ? selectFrames(folder, options.frames) : discoverImages(folder);
    reportDiscovery(log, console, files);
    // The console alone says which bands came from names: the log lists the frames as ever.
    if (const std::string note = bandsFromNamesNote(files, options.frames); !note.empty())
        console.printLine(note);
    if (files.files.empty() && !options.frames.active()) {
        if (const std::string hint = captureHint(folder); !hint.empty()) console.printLine(hint);
    }
    return files;
}

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

int runOrvel(RunEnvironment& env) {
    Console& console = env.console;
    console.setTitle(kTitle);
    printIntroduction(console);
    try {
        if (!askFor(console, "Do you want to continue (Enter Y or N)? ", 'Y')) return 0;
    } catch (const SessionEnded&) {
        return 0;  // nothing was written yet
    }
    RunLog log = openRunLog(env.folder, console);
    try {
        const DesktopSize desktop = measureDesktop(env.window, console, log);
        const ObservingSetup setup = readObservingSetup(console, log);
        const NightPlan plan{findFrames(env.options, env.folder, log, console),
                             setup,
                             env.folder,
                             {},
                             env.options.preciseAirmass,
                             env.options.aperture};
        if (!plan.files.files.empty()) measureAndGraph(env, plan, desktop, log);
        closingPrompt(console);
    } catch (const SessionEnded& ended) {
        return endEarly(env, ended.reason);
    } catch (const std::bad_alloc&) {
        // A frame claiming more pixels than memory holds must not take the log with it.
        return endEarly(env, "There is not enough memory to go on.");
    } catch (const std::exception& e) {
        return endEarly(env, std::string("The run cannot go on (") + e.what() + ").");
    }
    return 0;
}

}  // namespace orvel
