// The labelled plot in its own window beside the graph in an interactive run: where it goes,
// what it shows after each removal, the answer U at the outlier question, and its file.
#include "dialogue/plot_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::count;
using test::readFile;
using test::TempDir;

const std::vector<std::string> kStart = {"y", "35,0,0", "0,0,0", "6,0,0", "35,0,0", "Y", "Y"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A scripted window that keeps every picture it showed; it can be closed by the user once it
// has shown a number of them.
class RecordingWindow : public ScriptedWindow {
  public:
    std::vector<Raster> shownPictures;
    std::size_t closeAfter = 0;  // pictures shown before the user closes it (0: never)

  protected:
    void present(const Raster& surface) override {
        ScriptedWindow::present(surface);
        shownPictures.push_back(surface);
        if (shownPictures.size() == closeAfter) markClosedByUser();
    }
};

struct PlottedRun {
    TempDir dir;
    ScriptedConsole console;
    ScriptedWindow window;
    RecordingWindow plot;
    int status = -1;

    // The small night measured with the star and the sky clicked, then the answers given and
    // a click on the graph for every pick of a point.
    void go(const std::vector<std::string>& answers, int picks) {
        test::writeSmallNight(dir);
        for (const std::string& a : with(kStart, answers)) console.addLine(a);
        window.addClick(30, 20);
        window.addClick(50, 40);
        for (int i = 0; i < picks; ++i) window.addClick(320, 240);
        RunEnvironment env{console, window, dir.path()};
        env.plotWindow = &plot;
        status = runOrvel(env);
    }
    std::string file(const char* name) const { return readFile(dir / name); }
};

// The log's fit reports, each from its heading to the next one (or the end).
std::vector<std::string> reports(const std::string& log) {
    const std::string heading = "----------  FINAL RESULTS  --------------------";
    std::vector<std::string> out;
    for (std::size_t at = log.find(heading); at != std::string::npos;) {
        const std::size_t next = log.find(heading, at + 1);
        std::string report = log.substr(at, next == std::string::npos ? next : next - at);
        // The empty lines before the next heading are not the report's.
        while (report.ends_with("\r\n\r\n")) report.resize(report.size() - 2);
        out.push_back(report);
        at = next;
    }
    return out;
}

bool isBlack(Rgb c) {
    return c.r < 60 && c.g < 60 && c.b < 60;
}

TEST(PlotWindowPlace, BesideTheGraphOrUnderItShrunkToTheDesktop) {
    // Right of the graph's 640 pixels, its border and this window's (8 each): x 656. The room
    // is 1920 - 656 - 8 = 1256 by 1080 - 32 - 8 = 1040: the whole 1000 x 800.
    const WindowPlace full = plotWindowPlace({1920, 1080});
    EXPECT_EQ(full.left, 656);
    EXPECT_EQ(full.top, 0);
    EXPECT_EQ(full.width, 1000);
    EXPECT_EQ(full.height, 800);
    // 1280 x 1024: beside, 616 / 1000 = 0.616; under (from y 480 + 2 x 32 + 8 = 552),
    // 464 / 800 = 0.58. Beside wins: 616 x 492.8, rounded 493.
    const WindowPlace narrow = plotWindowPlace({1280, 1024});
    EXPECT_EQ(narrow.left, 656);
    EXPECT_EQ(narrow.width, 616);
    EXPECT_EQ(narrow.height, 493);
    // A tall desktop: under the graph there is room for the whole plot.
    const WindowPlace tall = plotWindowPlace({1280, 1600});
    EXPECT_EQ(tall.left, 8);
    EXPECT_EQ(tall.top, 552);
    EXPECT_EQ(tall.width, 1000);
    // 1024 x 768 has room for less than half the plot either way: 500 x 400 in the far corner.
    const WindowPlace small = plotWindowPlace({1024, 768});
    EXPECT_EQ(small.left, 1024 - 500 - 8);
    EXPECT_EQ(small.top, 768 - 400 - 8);
    EXPECT_EQ(small.width, 500);
    // Smaller than that still: the whole desktop, never beyond it.
    const WindowPlace tiny = plotWindowPlace({400, 300});
    EXPECT_EQ(tiny.left, 0);
    EXPECT_EQ(tiny.top, 0);
    EXPECT_EQ(tiny.width, 400);
    EXPECT_EQ(tiny.height, 300);
}

TEST(PlotWindow, AnsweringURestoresTheLastRemovalAndTheFitAsBefore) {
    PlottedRun r;
    // Remove the blue point nearest the middle of the graph, then put it back with u.
    r.go({"y", "3", "Y", " u ", "N", "N", "X"}, 1);
    ASSERT_EQ(r.status, 0);
    const std::string& t = r.console.transcript();
    EXPECT_EQ(count(t, "\nData point has been removed and extinction coefficient re-calculated.\n"),
              1u);
    EXPECT_NE(t.find("Do you want to remove more outliers from the data (Enter Y or N)?  u \n\n"
                     "Data point has been restored and extinction coefficient re-calculated.\n"),
              std::string::npos);
    // Three reports: the first, without the point, and with it back: the same as the first.
    const std::vector<std::string> all = reports(r.file("ORVEL_LOG.txt"));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_NE(all[1], all[0]);
    EXPECT_NE(all[1].find("# Files =  3   # Analyzed =  2 "), std::string::npos);
    EXPECT_EQ(all[2], all[0]);
    // The results files are those of a run that removed nothing.
    PlottedRun plain;
    plain.go({"N", "N", "X"}, 0);
    EXPECT_EQ(r.file("ORVEL_results.csv"), plain.file("ORVEL_results.csv"));
    EXPECT_EQ(r.file("ORVEL_fit.csv"), plain.file("ORVEL_fit.csv"));
    EXPECT_EQ(count(r.file("ORVEL_results.csv"), ",removed"), 0u);
    // The labelled plot's file comes at the end of every interactive run, the graph saved or
    // not.
    EXPECT_EQ(r.file("ORVEL_plot.png").substr(1, 3), "PNG");
    EXPECT_EQ(plain.file("ORVEL_plot.png").substr(1, 3), "PNG");
    EXPECT_FALSE(std::filesystem::exists(r.dir / "ORVEL.bmp"));
}

TEST(PlotWindow, UWithNothingRemovedSaysSoAndAsksAgain) {
    PlottedRun r;
    r.go({"U", "N", "N", "X"}, 0);
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.console.transcript().find(
                  "(Enter Y or N)? U\n\nNo data point has been removed; there is none to restore.\n"
                  "\nDo you want to remove more outliers from the data (Enter Y or N)? N\n"),
              std::string::npos);
    EXPECT_EQ(reports(r.file("ORVEL_LOG.txt")).size(), 1u);
}

TEST(PlotWindow, ShowsThePointConsideredRingedThenHollowThenBack) {
    PlottedRun r;
    r.go({"y", "3", "Y", "U", "N", "N", "X"}, 1);
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.window.created().size(), 2u);
    ASSERT_EQ(r.plot.created().size(), 1u);
    // Beside the graph at 1920 x 1080, at full size.
    EXPECT_EQ(r.plot.created()[0].left, 656);
    EXPECT_EQ(r.plot.created()[0].top, 0);
    EXPECT_EQ(r.plot.created()[0].width, 1000);
    EXPECT_EQ(r.plot.created()[0].height, 800);
    EXPECT_EQ(r.plot.closeCount(), 1);
    // Shown: opened, cleared, the first fit, the point ringed, the fit without it, and back.
    const std::vector<Raster>& shown = r.plot.shownPictures;
    ASSERT_EQ(shown.size(), 6u);
    const Raster &first = shown[2], &ringed = shown[3], &removed = shown[4];
    // The ring: black pixels added about one point; their box's middle is the point.
    int x0 = 1000, x1 = -1, y0 = 800, y1 = -1;
    for (int y = 80; y < 470; ++y)
        for (int x = 100; x < 970; ++x)
            if (isBlack(ringed.pixel(x, y)) && !isBlack(first.pixel(x, y))) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    ASSERT_GE(x1, 0) << "no ring drawn";
    // A ring of radius 10 drawn 2.5 wide: about 23 pixels across.
    EXPECT_NEAR(x1 - x0, 22, 2);
    EXPECT_NEAR(y1 - y0, 22, 2);
    const int cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    // The point was a filled blue disc; removed, a hollow grey circle (white inside) with no
    // ring; restored, the picture is the first one again.
    EXPECT_EQ(first.pixel(cx, cy), (Rgb{0, 0, 255}));
    EXPECT_EQ(removed.pixel(cx, cy), (Rgb{255, 255, 255}));
    int grey = 0;
    for (int dx = -6; dx <= 6; ++dx) {
        const Rgb c = removed.pixel(cx + dx, cy);
        grey += c.r == c.g && c.g == c.b && c.r > 120 && c.r < 200;
    }
    EXPECT_GE(grey, 2) << "the removed point's grey outline";
    EXPECT_FALSE(isBlack(removed.pixel(cx + 10, cy)));
    EXPECT_TRUE(shown[5].rgbBytes() == first.rgbBytes());
}

TEST(PlotWindow, ClosingItLeavesTheRunGoingOn) {
    PlottedRun r;
    r.plot.closeAfter = 3;  // closed by the user once the first fit is shown
    r.go({"y", "3", "Y", "N", "N", "X"}, 1);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.plot.shownPictures.size(), 3u);
    EXPECT_EQ(reports(r.file("ORVEL_LOG.txt")).size(), 2u);
    EXPECT_EQ(r.file("ORVEL_plot.png").substr(1, 3), "PNG");
}

}  // namespace
}  // namespace orvel
