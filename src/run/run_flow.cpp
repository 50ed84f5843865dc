#include "run/run_flow.h"

#include <exception>
#include <new>
#include <string>

#include "fit/results_files.h"
#include "graph/graph_phase.h"
#include "imageset/discovery.h"
#include "imageset/file_loop.h"
#include "observing/coordinates.h"
#include "platform/session_end.h"
#include "run/dialogue.h"
#include "run/phases.h"
#include "run/run_log.h"

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
    logScreenSize(log, size);
    return size;
}

// Ends the run before its closing question: the window goes, the log stays as written.
int endEarly(RunEnvironment& env, const std::string& reason) {
    if (env.window.isOpen()) env.window.close();
    env.console.endLine();
    env.console.printLine(reason + " The run ends; the log keeps everything measured.");
    return 1;
}

void closingPrompt(Console& console) {
    do {
        console.endLine();
    } while (!askFor(console, "Program is finished. Enter X to terminate. ", 'X'));
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

void logScreenSize(RunLog& log, DesktopSize size) {
    log.end().line("Monitor Screen Size (Width, Height in pixels)-");
    log.text("Width = ").numLong(size.width).text("     Height = ").numLong(size.height).end();
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
        const ImageFileList files = discoverImages(env.folder, log, console);
        if (!files.names.empty()) {
            const StarPicker pick = interactivePicker(desktop, console, env.window, log);
            NightMeasurements night =
                processImageFiles(files, setup, env.folder, pick, console, log);
            const auto writeResults = [&] {
                if (!writeResultsFiles(night, files.bandCounts, env.folder))
                    console.printLine(
                        "The results files ORVEL_results.csv and ORVEL_fit.csv "
                        "could not be written.");
            };
            try {
                runGraphPhase(night, files, env.folder, console, env.window, log);
            } catch (const SessionEnded&) {
                // The files hold the last fit reported, as the log does.
                writeResults();
                throw;
            }
            writeResults();
        }
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
