// Whole runs over a small synthetic night: picks, measurements, fit, removal, graph, results.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/batch_run.h"
#include "run/options.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::count;

using test::logLines;
using test::readFile;
using test::TempDir;

const std::vector<std::string> kCoordinates = {"35,0,0", "0,0,0", "6,0,0", "35,0,0"};

std::vector<std::string> with(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The log without its screen-size line, which depends on the desktop.
std::string withoutScreenSize(const std::string& log) {
    std::string out;
    for (const std::string& line : logLines(log))
        if (!line.starts_with("Width = ")) out += line + "\r\n";
    return out;
}

TEST(Night, WholeDialogueWithRejectedPickRemovalAndSavedGraph) {
    TempDir dir;
    test::writeSmallNight(dir);
    ScriptedConsole console(
        with(with({"y"}, kCoordinates), {"n", "Y", "y", "", "2", "no", "y", "N", "Y", "X"}));
    ScriptedWindow window;
    window.addClick(10, 10);   // star pick, rejected
    window.addClick(30, 20);   // star pick
    window.addClick(50, 40);   // background
    window.addClick(0, 479);   // outlier pick, not confirmed
    window.addClick(600, 10);  // outlier pick, confirmed
    RunEnvironment env{console, window, dir.path()};
    ASSERT_EQ(runOrvel(env), 0);

    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    const std::string& t = console.transcript();
    EXPECT_EQ(count(log, "Initial target star position:"), 2u);
    EXPECT_EQ(count(log, "Initial background rectangle position:"), 1u);
    EXPECT_EQ(count(log, "Current file number = "), 9u);
    EXPECT_EQ(count(log, "----------  FINAL RESULTS  --------------------"), 2u);
    EXPECT_NE(log.find("Target star position in original image by brightest pixel:\r\n"
                       "   COLUMN =  30 \r\n      ROW =  20 \r\n"),
              std::string::npos);
    EXPECT_NE(log.find("  GREEN = "), std::string::npos);
    EXPECT_NE(log.find("  # Files =  3   # Analyzed =  2 "), std::string::npos);
    EXPECT_EQ(count(t, "PROCESSING FILE "), 9u);
    EXPECT_NE(t.find("PROCESSING FILE  9  OF  9 \n"), std::string::npos);
    EXPECT_EQ(count(t, "Try again-"), 1u);
    EXPECT_NE(t.find("Do you want to remove more outliers from the data (Enter Y or N)? N"),
              std::string::npos);
    EXPECT_NE(t.find("Graph will be saved to file ORVEL.bmp"), std::string::npos);

    ASSERT_EQ(window.created().size(), 2u);
    EXPECT_EQ(window.created()[0].caption, "n_0001_R.fit");
    EXPECT_EQ(window.created()[0].width, 64);
    EXPECT_EQ(window.created()[1].caption, "Log of Magnitude on Y-axis versus Airmass on X-axis");
    const std::string bmp = readFile(dir / "ORVEL.bmp");
    EXPECT_EQ(bmp.size(), 921654u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    // The labelled plot comes beside the saved graph.
    EXPECT_EQ(readFile(dir / "ORVEL_plot.png").substr(1, 3), "PNG");
    // The field as measured, and the colour weights, come with every interactive run.
    EXPECT_EQ(readFile(dir / "ORVEL_field.png").substr(1, 3), "PNG");
    EXPECT_EQ(logLines(readFile(dir / "ORVEL_weights.csv")).size(), 16u);

    // Results files: one row per frame, one per band, one frame no longer included.
    const auto frames = logLines(readFile(dir / "ORVEL_results.csv"));
    ASSERT_EQ(frames.size(), 10u);
    EXPECT_EQ(count(readFile(dir / "ORVEL_results.csv"), ",removed"), 1u);
    EXPECT_EQ(logLines(readFile(dir / "ORVEL_fit.csv")).size(), 4u);
}

TEST(Night, UnattendedRunWritesTheLogOfTheSameDialogue) {
    TempDir interactive;
    TempDir unattended;
    test::writeSmallNight(interactive);
    test::writeSmallNight(unattended);

    BatchOptions o = test::smallNightOptions(unattended.path());
    o.edits = {{"n_0002_B.fit"}};
    o.graphFile = unattended / "graph.png";
    ScriptedConsole out;
    ASSERT_EQ(runBatch(o, out), 0);
    EXPECT_EQ(readFile(unattended / "graph.png").substr(1, 3), "PNG");

    // Click exactly on the removed frame's point, found from its airmass and magnitude value.
    const std::string batchLog = readFile(unattended / "ORVEL_LOG.txt");
    double xFrom = 0, xTo = 0, yFrom = 0, yTo = 0;
    for (const std::string& line : logLines(batchLog)) {
        if (line.starts_with("  Columns = "))
            std::sscanf(line.c_str(), "  Columns = %*d   Min X Value = %lf   Max X Value = %lf",
                        &xFrom, &xTo);
        if (line.starts_with("     Rows = "))
            std::sscanf(line.c_str(), "     Rows = %*d   Min Y Value = %lf   Max Y Value = %lf",
                        &yFrom, &yTo);
    }
    double airmass = 0, magnitude = 0;
    for (const std::string& row : logLines(readFile(unattended / "ORVEL_results.csv")))
        if (row.starts_with("n_0002_B.fit"))
            std::sscanf(row.c_str(), "n_0002_B.fit,B,%*[^,],%lf,%*f,%*d,%*d,%*f,%*f,%*f,%lf",
                        &airmass, &magnitude);
    ASSERT_GT(airmass, 1.0);
    const double x = (airmass - xFrom) / (xTo - xFrom) * 640;
    const double y = 480 - (magnitude - yFrom) / (yTo - yFrom) * 480;

    ScriptedConsole console(
        with(with({"y"}, kCoordinates), {"Y", "Y", "y", "3", "Y", "N", "N", "X"}));
    ScriptedWindow window;
    window.addClick(30, 20);
    window.addClick(50, 40);
    window.addClick(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    RunEnvironment env{console, window, interactive.path()};
    ASSERT_EQ(runOrvel(env), 0);
    EXPECT_EQ(withoutScreenSize(readFile(interactive / "ORVEL_LOG.txt")),
              withoutScreenSize(batchLog));
    EXPECT_EQ(readFile(interactive / "ORVEL_results.csv"),
              readFile(unattended / "ORVEL_results.csv"));
    EXPECT_EQ(readFile(interactive / "ORVEL_fit.csv"), readFile(unattended / "ORVEL_fit.csv"));
}

// A minus typed on zero degrees makes the angle negative and is echoed as "-0".
TEST(Night, MinusZeroDegreesAreSouthAndWest) {
    TempDir dir;
    test::writeSmallNight(dir);
    BatchOptions o = test::smallNightOptions(dir.path());
    o.latitude = "-0,30,0";
    o.longitude = "-0,15,0";
    o.declination = "-0,45,0";
    ScriptedConsole out;
    ASSERT_EQ(runBatch(o, out), 0);
    const std::vector<std::string> lines = logLines(readFile(dir / "ORVEL_LOG.txt"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Site Latitude (d,m,s) = -0 ,  30 ,  0 "),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Site Longitude (d,m,s) = -0 ,  15 ,  0 "),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Star Dec (d,m,s) = -0 ,  45 ,  0 "),
              lines.end());
}

// A night without blue frames: the blue row of the fit file has no numbers to show.
TEST(Night, ABandWithoutFramesHasAnEmptyFitRow) {
    TempDir dir;
    test::writeSmallNight(dir);
    for (const char* name : {"n_0001_B.fit", "n_0002_B.fit", "n_0003_B.fit"})
        std::filesystem::remove(dir / name);
    ScriptedConsole out;
    ASSERT_EQ(runBatch(test::smallNightOptions(dir.path()), out), 0);
    const std::vector<std::string> rows = logLines(readFile(dir / "ORVEL_fit.csv"));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(rows[1].starts_with("R,0.")) << rows[1];
    EXPECT_EQ(rows[3], "B,,,,,0,0,,,,,,,,,,,,none,");
}

}  // namespace
}  // namespace orvel
