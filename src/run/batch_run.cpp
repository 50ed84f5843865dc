#include "run/batch_run.h"

#include <cstdio>
#include <exception>
#include <new>
#include <span>
#include <string>

#include "analysis/image_statistics.h"
#include "base/numeric.h"
#include "dialogue/frame_setup.h"
#include "dialogue/graph_session.h"
#include "graph/graph_file.h"
#include "night/night_log.h"
#include "observing/coordinates.h"
#include "platform/offscreen_window.h"
#include "run/night_session.h"

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

// The options answer: the coordinates, the picks at the screen factor given (with the same log
// lines as the dialogue's), the removals by name, the graph drawn off screen when it is saved.
class OptionsOperator : public NightOperator {
  public:
    OptionsOperator(const BatchOptions& o, Console& console)
        : o_(o),
          console_(console),
          window_(o.graphFile ? OffscreenWindow::Surface::drawn : OffscreenWindow::Surface::none) {}

    void logScreen(RunLog& log) override { logScreenSize(log, 0, 0); }
    std::optional<ObservingSetup> setup(RunLog& log, const FrameCoordinates& frames) override;
    int noFrames() override {
        const std::string folder = o_.run.folder.string();
        console_.printLine(o_.run.frames.active()
                               ? "orvel: no file in " + folder + " matches --frames"
                               : "orvel: no image files (*R.fit, *G.fit, *B.fit) in " + folder);
        return 1;
    }
    StarPicker picker(PickRecorder& picks) override;
    bool fitUnmeasured() override {
        console_.printLine("orvel: no frame could be measured");
        status_ = 1;
        return false;
    }
    void openGraph(const NightRecord& night, GraphLayout layout) override {
        graph_.emplace(night, window_);
        graph_->open(std::move(layout));
    }
    void showFit(const NightFit& fit) override { graph_->show(fit); }
    std::optional<FrameEdit> nextEdit(const NightRecord& night) override;
    bool closeGraph() override {
        if (o_.graphFile && !saveWindowPicture(window_, *o_.graphFile)) {
            console_.printLine("orvel: the graph could not be written to " +
                               o_.graphFile->string());
            status_ = 1;
        }
        window_.close();
        return false;
    }
    void resultsNotWritten() override {
        console_.printLine("orvel: the results files could not be written in " +
                           o_.run.folder.string());
        status_ = 1;
    }
    std::optional<std::filesystem::path> fieldFile() const override { return o_.run.fieldFile; }
    int status() const override { return status_; }

  private:
    const BatchOptions& o_;
    Console& console_;
    OffscreenWindow window_;
    std::optional<GraphSession> graph_;
    std::size_t nextName_ = 0;  // the next --remove name to take
    int status_ = 0;
};

// The picks turned down before the one taken (every --star or --background but the last).
std::span<const std::pair<float, float>> turnedDown(
    const std::vector<std::pair<float, float>>& given) {
    return std::span(given).first(given.empty() ? 0 : given.size() - 1);
}

StarPicker OptionsOperator::picker(PickRecorder& picks) {
    return [this, &picks](const PixelImage& image, const FirstImageStats& stats, std::string_view) {
        for (const auto& [column, row] : o_.starPicks) checkPick("--star", column, row, image);
        checkPick("--star", o_.starColumn, o_.starRow, image);
        for (const auto& [column, row] : o_.backgroundPicks)
            checkPick("--background", column, row, image);
        checkPick("--background", o_.backgroundColumn, o_.backgroundRow, image);
        // A radius or annulus given that the first frame cannot hold ends the run at once.
        if (const std::optional<std::string> misfit = apertureMisfit(
                o_.run.aperture, o_.starColumn, o_.starRow, image.columns, image.rows))
            throw OptionRefused{*misfit};
        picks.firstImage(stats);
        // No desktop: the picture is the frame itself unless --screen-factor says it was
        // reduced; the log shows the whole desktops spanned, one less than the reduction.
        const int n = o_.screenFactor;
        picks.screenFactor(ScreenFactor{n - 1, n});
        // The picks in the reduced picture's pixels, as the window gave them; every one logged.
        const auto window = [n](float imagePixel) {
            return f32(static_cast<double>(imagePixel) / n);
        };
        StarSelection s;
        s.screenFactor = static_cast<float>(n);
        for (const auto& [column, row] : turnedDown(o_.starPicks))
            picks.star(window(column), window(row));
        s.starX = window(o_.starColumn);
        s.starY = window(o_.starRow);
        picks.star(s.starX, s.starY);
        for (const auto& [column, row] : turnedDown(o_.backgroundPicks))
            picks.background(window(column), window(row));
        s.backgroundX = window(o_.backgroundColumn);
        s.backgroundY = window(o_.backgroundRow);
        picks.background(s.backgroundX, s.backgroundY);
        placeBackgroundRectangle(s, image.columns, image.rows);
        return s;
    };
}

std::optional<FrameEdit> OptionsOperator::nextEdit(const NightRecord& night) {
    while (nextName_ < o_.edits.size()) {
        const FrameNameEdit& edit = o_.edits[nextName_++];
        const std::string& name = edit.name;
        console_.endLine();
        if (edit.restore) {
            if (const std::optional<std::size_t> frame = findRemovedFrame(night, name)) {
                console_.printLine("Restored " + name + "; extinction coefficient re-calculated.");
                return FrameEdit{*frame, true};
            }
            console_.printLine("orvel: --restore " + name +
                               ": no such frame removed; nothing restored");
        } else {
            if (const std::optional<std::size_t> frame = findIncludedFrame(night, name)) {
                console_.printLine("Removed " + name + "; extinction coefficient re-calculated.");
                return FrameEdit{*frame, false};
            }
            console_.printLine("orvel: --remove " + name +
                               ": no such frame in the fit; nothing removed");
        }
        // The fit then is not the one the caller meant.
        status_ = 1;
    }
    return std::nullopt;
}

}  // namespace

// Each coordinate from its option, or, left out, from the frames; one missing from both ends
// the run, named.
std::optional<ObservingSetup> OptionsOperator::setup(RunLog& log, const FrameCoordinates& frames) {
    const std::array<const std::string*, kCoordinates> given = {
        &o_.latitude, &o_.longitude, &o_.rightAscension, &o_.declination};
    ObservingSetup setup;
    std::array<bool, kCoordinates> taken{};
    std::string missing;
    for (int i = 0; i < kCoordinates; ++i) {
        const std::string& typed = *given[static_cast<std::size_t>(i)];
        const std::optional<OfferedAngle>& offered = offeredCoordinate(frames, i);
        if (!typed.empty()) {
            setupCoordinate(setup, i) = angleFromLine(typed, i != 2);
        } else if (offered) {
            setupCoordinate(setup, i) = offered->angle;
            taken[static_cast<std::size_t>(i)] = true;
        } else {
            missing += (missing.empty() ? "" : ", ") + std::string(coordinateNames(i).option);
        }
    }
    if (!missing.empty()) {
        console_.printLine("orvel: the frames hold no value for " + missing +
                           "; the option is missing (see --help)");
        return std::nullopt;
    }
    logObservingSetup(log, setup);
    reportFrameCoordinates(frames, setup, taken, true, console_, log);
    return setup;
}

int runBatch(const BatchOptions& o, Console& console) {
    RunLog log = openRunLog(o.run.folder, console);
    try {
        OptionsOperator op(o, console);
        int status = runNightSession(op, o.run, console, log);
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
