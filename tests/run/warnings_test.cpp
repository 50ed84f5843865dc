// Warnings that keep a frame but tell the user: on the console and in the results notes, never
// in the log.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "night/frame_acceptance.h"
#include "platform/scripted_console.h"
#include "run/batch_run.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::readFile;
using test::TempDir;

void simulate(const std::filesystem::path& folder, const std::string& flux) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                folder.string() + " --frames 6 --size 160x120 --star 80,60" +
                                " --seed 4 --flux " + flux + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// A simulated night whose green frame NIGHT_0008_G.fit shows the star at half its brightness (a
// passing cloud: the same frame of a night with half the green flux) and whose blue band keeps
// two frames only.
void writeDoubtfulNight(const TempDir& dir) {
    simulate(dir.path(), "200000,250000,150000");
    simulate(dir / "cloud", "200000,125000,150000");
    std::filesystem::copy_file(dir / "cloud" / "NIGHT_0008_G.fit", dir / "NIGHT_0008_G.fit",
                               std::filesystem::copy_options::overwrite_existing);
    for (const char* name :
         {"NIGHT_0009_B.fit", "NIGHT_0012_B.fit", "NIGHT_0015_B.fit", "NIGHT_0018_B.fit"})
        std::filesystem::remove(dir / name);
}

TEST(Warnings, OutliersAndWeakBandsAreSaidOnTheConsoleAndNotedButNotLogged) {
    TempDir dir;
    writeDoubtfulNight(dir);
    ScriptedConsole console;
    ASSERT_EQ(runBatch(test::simulatedNightOptions(dir.path(), 80, 60, 20, 20), console), 0);
    const std::string& t = console.transcript();
    EXPECT_NE(t.find("Warning: NIGHT_0008_G.fit: it is a suspected outlier: its residual from the "
                     "GREEN robust line is"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find("Warning: the BLUE k rests on 2 frames.\n"), std::string::npos) << t;
    // No other green frame and no red frame is suspected.
    EXPECT_EQ(t.find("it is a suspected outlier"), t.rfind("it is a suspected outlier"));
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_EQ(log.find("Warning"), std::string::npos);
    EXPECT_EQ(log.find("outlier"), std::string::npos);
    const std::string results = readFile(dir / "ORVEL_results.csv");
    const std::size_t row = results.find("NIGHT_0008_G.fit,G,");
    ASSERT_NE(row, std::string::npos);
    const std::string line = results.substr(row, results.find("\r\n", row) - row);
    EXPECT_NE(line.find(",1,it is a suspected outlier: its residual from the GREEN robust line is"),
              std::string::npos)
        << line;
}

TEST(Warnings, AFaintPickAndALowStarAreWarnedOfOnTheirFrames) {
    FrameMeasurement m;
    m.background.median = 100.0f;
    m.background.standardDeviation = 10.0f;
    m.star.brightestValue = 149.0f;  // 4.9 noise levels above the sky
    m.sky.elevation = 9.5f;
    std::vector<std::string> w = measurementWarnings(m);
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0],
              "the brightest pixel near the star pick is only 49 DC above the sky, 4.9 "
              "times its noise: is the star there?");
    EXPECT_EQ(w[1],
              "the star was 9.5 degrees high; below 10 degrees the airmass formula is "
              "unreliable");
    m.star.brightestValue = 151.0f;
    m.sky.elevation = 10.0f;
    EXPECT_TRUE(measurementWarnings(m).empty());
}

}  // namespace
}  // namespace orvel
