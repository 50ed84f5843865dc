// One night from its log to its outputs, the phases written once in their fixed order for both
// ways of running. What differs between the dialogue and the unattended run is only who answers:
// the operator.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include "base/run_log.h"
#include "dialogue/graph_session.h"
#include "dialogue/outlier_dialogue.h"
#include "night/discovery.h"
#include "night/frame_coordinates.h"
#include "night/night_fit.h"
#include "night/night_log.h"
#include "night/night_loop.h"
#include "night/night_record.h"
#include "observing/observing_setup.h"
#include "platform/console.h"
#include "run/options.h"

namespace orvel {

// Who answers the night's questions: the user at the console and the window, or the options.
class NightOperator {
  public:
    virtual ~NightOperator() = default;
    // The screen's size in the log (0 x 0 when there is none).
    virtual void logScreen(RunLog& log) = 0;
    // The site and the star's coordinates, with their log lines, from the answers and what the
    // frames offer; empty when some coordinate is neither given nor offered (the run ends).
    virtual std::optional<ObservingSetup> setup(RunLog& log, const FrameCoordinates& frames) = 0;
    // What is said when no frame is found; the run's status.
    virtual int noFrames() = 0;
    // The star and background picks on the first usable frame, each written by `picks`.
    virtual StarPicker picker(PickRecorder& picks) = 0;
    // Whether to fit a night none of whose frames could be measured (said when not).
    virtual bool fitUnmeasured() = 0;
    // The graph of the night, opened once the frames are measured and shown after every fit.
    virtual void openGraph(const NightRecord& night, GraphLayout layout) = 0;
    virtual void showFit(const NightFit& fit) = 0;
    // The next frame to leave out of the fit, or to put back, said on the console; empty when
    // there is none.
    virtual std::optional<FrameEdit> nextEdit(const NightRecord& night) = 0;
    // The graph saved as asked, then closed; true when the labelled plot file goes beside it.
    virtual bool closeGraph() = 0;
    // What is said when the results files cannot be written.
    virtual void resultsNotWritten() = 0;
    // Where the field picture goes, if anywhere.
    virtual std::optional<std::filesystem::path> fieldFile() const = 0;
    // The status of what went wrong on the operator's side (0 when nothing did).
    virtual int status() const = 0;
    // The command that repeats the run unattended, for the report; empty for none.
    virtual std::string repeatCommandText() const { return {}; }
};

// Opens "ORVEL_LOG.txt" in the folder; when it cannot be created the run goes on without a
// log, after one console line saying so.
RunLog openRunLog(const std::filesystem::path& folder, Console& console);

// The night: screen, setup, frames, measurement, fits with their reports, removals, results
// files and outputs, each phase writing what it writes in this order. Returns the status.
int runNightSession(NightOperator& op, const RunOptions& options, Console& console, RunLog& log);

}  // namespace orvel
