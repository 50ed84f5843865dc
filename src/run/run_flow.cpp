#include "run/run_flow.h"

#include <exception>
#include <new>
#include <string>

#include "base/run_log.h"
#include "dialogue/coordinates_dialogue.h"
#include "dialogue/dialogue.h"
#include "dialogue/first_frame.h"
#include "dialogue/graph_session.h"
#include "dialogue/outlier_dialogue.h"
#include "night/night_log.h"
#include "platform/session_end.h"
#include "run/night_session.h"
#include "run/repeat_command.h"

namespace orvel {

namespace {

constexpr std::string_view kTitle = "ORVEL Atmospheric Extinction Coefficient Calculator";

// The user answers: the coordinates typed, the picks and the removals clicked in the window.
class DialogueOperator : public NightOperator {
  public:
    explicit DialogueOperator(RunEnvironment& env) : env_(env) {
        answers_.folder = std::filesystem::absolute(env.folder);
        answers_.givenWords = env.givenWords;
    }

    // The desktop size scales the first image; without a display only the picks are impossible.
    void logScreen(RunLog& log) override {
        const std::optional<DesktopSize> desktop = env_.window.desktopSize();
        if (!desktop) {
            std::string reason = env_.window.noDisplayReason();
            if (reason.empty()) reason = "No graphics display is available.";
            env_.console.printLine(reason +
                                   " The star and the background can only be picked on a display.");
        }
        desktop_ = desktop.value_or(DesktopSize{});
        logScreenSize(log, desktop_.width, desktop_.height);
    }
    std::optional<ObservingSetup> setup(RunLog& log, const FrameCoordinates& frames) override {
        answers_.setup = readObservingSetup(env_.console, log, frames, answers_.taken);
        return answers_.setup;
    }
    int noFrames() override { return 0; }
    StarPicker picker(PickRecorder& picks) override {
        // The picks are kept for the command that repeats the run.
        return [this, &picks,
                pick = interactivePicker(desktop_, env_.console, env_.window, env_.magnifierWindow,
                                         picks)](
                   const PixelImage& image, const FirstImageStats& stats, std::string_view name) {
            const StarSelection s = pick(image, stats, name);
            answers_.picks = PicksMade{picks.stars(), picks.backgrounds(), s.screenFactor};
            // A radius or annulus given that the first frame cannot hold ends the run at once.
            if (const std::optional<std::string> misfit =
                    apertureMisfit(env_.options.aperture, s.starX * s.screenFactor,
                                   s.starY * s.screenFactor, image.columns, image.rows))
                throw OptionRefused{*misfit};
            return s;
        };
    }
    bool fitUnmeasured() override { return true; }
    void openGraph(const NightRecord& night, GraphLayout layout) override;
    void showFit(const NightFit& fit) override { graph_->show(fit); }
    std::optional<FrameEdit> nextEdit(const NightRecord& night) override {
        const std::optional<FrameEdit> edit = nextOutlierEdit(*graph_, env_.console, outliers_);
        // Removals and restores are kept, in order, for the command that repeats the run.
        if (edit) answers_.edits.push_back({night.frames[edit->frame].name, edit->restore});
        return edit;
    }
    // The labelled plot's file comes with every interactive run, the graph saved or not.
    bool closeGraph() override {
        answers_.graphSaved = offerGraphExport(env_.window, env_.console, env_.folder);
        if (plot_) plot_->close();
        return true;
    }
    void resultsNotWritten() override {
        env_.console.printLine(
            "The results files ORVEL_results.csv and ORVEL_fit.csv could not be written.");
    }
    // The interactive run always shows the field it measured, beside the log.
    std::optional<std::filesystem::path> fieldFile() const override {
        return env_.options.fieldFile.value_or(env_.folder / "ORVEL_field.png");
    }
    int status() const override { return 0; }
    std::string repeatCommandText() const override { return repeatText(answers_); }

  private:
    RunEnvironment& env_;
    RunAnswers answers_;  // what was typed and picked, for the command that repeats the run
    DesktopSize desktop_;
    std::optional<GraphSession> graph_;
    std::optional<PlotWindow> plot_;  // beside the graph, when the run has a window for it
    OutlierState outliers_;
};

// The graph in the described window, and the labelled plot beside it.
void DialogueOperator::openGraph(const NightRecord& night, GraphLayout layout) {
    graph_.emplace(night, env_.window);
    graph_->open(std::move(layout));
    if (env_.plotWindow == nullptr) return;
    const PlotValue value =
        env_.options.plotMagnitudes ? PlotValue::magnitude : PlotValue::lnSignal;
    plot_.emplace(*env_.plotWindow, night, answers_.setup, value);
    plot_->open(desktop_);
    graph_->showBeside(&*plot_);
}

// Ends the run before its closing question: the window goes, the log stays as written.
int endEarly(RunEnvironment& env, const std::string& reason) {
    if (env.window.isOpen()) env.window.close();
    if (env.plotWindow != nullptr && env.plotWindow->isOpen()) env.plotWindow->close();
    if (env.magnifierWindow != nullptr && env.magnifierWindow->isOpen())
        env.magnifierWindow->close();
    env.console.endLine();
    env.console.printLine(reason + " The run ends; the log keeps everything measured.");
    return 1;
}

void closingPrompt(Console& console) {
    do {
        console.endLine();
    } while (!askFor(console, "Program is finished. Enter X to terminate. ", 'X'));
}

// After the last answer: the command that does the same without questions or windows.
void printRepeatCommand(Console& console, const DialogueOperator& op) {
    console.endLine();
    console.printLine(
        "To repeat this run unattended (the same log but for the screen size, and "
        "the same results files):");
    console.printLine(op.repeatCommandText());
}

}  // namespace

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
        RunOptions options = env.options;
        options.folder = env.folder;
        DialogueOperator op(env);
        // A file that cannot be written is said on the console; the dialogue ends as usual.
        runNightSession(op, options, console, log);
        closingPrompt(console);
        printRepeatCommand(console, op);
    } catch (const SessionEnded& ended) {
        return endEarly(env, ended.reason);
    } catch (const OptionRefused& refused) {
        // An option the first frame cannot hold (an aperture beyond its edge): as refused on
        // the command line, status 2.
        endEarly(env, "orvel: " + refused.message + ".");
        return 2;
    } catch (const std::bad_alloc&) {
        // A frame claiming more pixels than memory holds must not take the log with it.
        return endEarly(env, "There is not enough memory to go on.");
    } catch (const std::exception& e) {
        return endEarly(env, std::string("The run cannot go on (") + e.what() + ").");
    }
    return 0;
}

}  // namespace orvel
