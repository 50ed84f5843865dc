// The night session with a scripted operator: the phases in their order, what each writes, and
// a removal leading to a refit that every report then reads.
#include "run/night_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/image_statistics.h"
#include "observing/coordinates.h"
#include "platform/scripted_console.h"
#include "support/test_support.h"

namespace orvel {
namespace {

// Answers as a script says and keeps the order of the questions it was asked.
class ScriptedOperator : public NightOperator {
  public:
    std::vector<std::string> calls;
    std::vector<std::string> removals;  // frame names to remove, one per question
    std::vector<double> redKs;          // red k of every fit shown, ln per airmass

    void logScreen(RunLog& log) override {
        calls.push_back("screen");
        logScreenSize(log, 0, 0);
    }
    std::optional<ObservingSetup> setup(RunLog& log, const FrameCoordinates&) override {
        calls.push_back("setup");
        ObservingSetup s;
        s.latitude = angleFromLine("35,0,0", true);
        s.longitude = angleFromLine("0,0,0", true);
        s.rightAscension = angleFromLine("6,0,0", false);
        s.declination = angleFromLine("35,0,0", true);
        logObservingSetup(log, s);
        return s;
    }
    int noFrames() override {
        calls.push_back("no frames");
        return 7;
    }
    StarPicker picker(PickRecorder& picks) override {
        calls.push_back("picker");
        return [this, &picks](const PixelImage& image, const FirstImageStats& stats,
                              std::string_view) {
            calls.push_back("pick");
            picks.firstImage(stats);
            picks.screenFactor(screenFactor(image.columns, image.rows, 0, 0));
            StarSelection s;
            s.starX = 30;
            s.starY = 20;
            picks.star(s.starX, s.starY);
            s.backgroundX = 50;
            s.backgroundY = 40;
            picks.background(s.backgroundX, s.backgroundY);
            placeBackgroundRectangle(s, image.columns, image.rows);
            return s;
        };
    }
    bool fitUnmeasured() override { return true; }
    void openGraph(const NightRecord&, GraphLayout layout) override {
        calls.push_back("graph " + std::to_string(layout.positions.size()) + " points");
    }
    void showFit(const NightFit& fit) override {
        calls.push_back("show");
        redKs.push_back(fit.band(Band::red).k());
    }
    std::optional<FrameEdit> nextEdit(const NightRecord& night) override {
        calls.push_back("removal?");
        if (removals.empty()) return std::nullopt;
        const std::string name = removals.front();
        removals.erase(removals.begin());
        const std::optional<std::size_t> frame = findIncludedFrame(night, name);
        if (!frame) return std::nullopt;
        return FrameEdit{*frame, false};
    }
    bool closeGraph() override {
        calls.push_back("close");
        return false;
    }
    void resultsNotWritten() override { calls.push_back("unwritten"); }
    std::optional<std::filesystem::path> fieldFile() const override { return std::nullopt; }
    int status() const override { return 0; }
};

// The index of the first line holding the text, or -1.
int lineOf(const std::vector<std::string>& lines, const std::string& text) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(text) != std::string::npos) return static_cast<int>(i);
    return -1;
}

TEST(NightSession, PhasesRunInTheirOrderAndARemovalIsRefittedForEveryReport) {
    test::TempDir dir;
    test::writeSmallNight(dir, 4);
    RunOptions options;
    options.folder = dir.path();
    ScriptedOperator op;
    op.removals = {"n_0004_R.fit"};
    ScriptedConsole console;
    RunLog log = RunLog::inMemory();
    EXPECT_EQ(runNightSession(op, options, console, log), 0);

    // Asked in the phases' order; the fit shown once, then again after the removal.
    EXPECT_EQ(op.calls,
              (std::vector<std::string>{"screen", "setup", "picker", "pick", "graph 12 points",
                                        "show", "removal?", "show", "removal?", "close"}));
    ASSERT_EQ(op.redKs.size(), 2u);
    EXPECT_NE(op.redKs[0], op.redKs[1]);

    // The log in the phases' order: the screen, the setup, the frames, the picks, the graph's
    // ranges, then two reports.
    const std::vector<std::string> lines = test::logLines(log.contents());
    const int screen = lineOf(lines, "Monitor Screen Size");
    const int star = lineOf(lines, "Initial target star position");
    const int ranges = lineOf(lines, "Max X"), report = lineOf(lines, "FINAL RESULTS");
    EXPECT_LT(screen, star);
    EXPECT_LT(star, ranges);
    EXPECT_LT(ranges, report);
    EXPECT_EQ(test::count(log.contents(), "FINAL RESULTS"), 2u);
    EXPECT_NE(log.contents().find("    RED = ", static_cast<std::size_t>(report)),
              std::string::npos);

    // The results files read the last fit: the removed frame is out and the red line has three
    // frames.
    const std::string fit = test::readFile(dir.path() / "ORVEL_fit.csv");
    EXPECT_EQ(test::csvColumn(fit, "analysed"), (std::vector<std::string>{"3", "4", "4"}));
    const std::string results = test::readFile(dir.path() / "ORVEL_results.csv");
    const std::vector<std::string> notes = test::csvColumn(results, "note");
    const std::vector<std::string> names = test::csvColumn(results, "file");
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == "n_0004_R.fit") {
            EXPECT_EQ(notes[i], "removed");
        }
}

TEST(NightSession, AFolderWithoutFramesEndsWithTheOperatorsStatus) {
    test::TempDir dir;
    RunOptions options;
    options.folder = dir.path();
    ScriptedOperator op;
    ScriptedConsole console;
    RunLog log = RunLog::inMemory();
    EXPECT_EQ(runNightSession(op, options, console, log), 7);
    EXPECT_EQ(op.calls, (std::vector<std::string>{"screen", "setup", "no frames"}));
}

}  // namespace
}  // namespace orvel
