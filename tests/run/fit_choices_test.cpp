// Simulated nights through the command line: a frame dimmed by a passing cloud is rejected,
// the noise errors agree with the scatter, and a changing extinction is found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/scripted_console.h"
#include "run/batch_run.h"
#include "run/options.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::count;

using test::csvColumn;
using test::readFile;
using test::TempDir;

// A night of 320 x 240 frames of the simulator, 12 or more per band.
void simulate(const std::filesystem::path& folder, const std::string& options) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                folder.string() + " --size 320x240 --star 161,117 " + options +
                                " > " + (folder.string() + ".txt");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// The unattended run of that night with more options, through the command line.
int run(const std::filesystem::path& folder, const std::vector<std::string>& more,
        ScriptedConsole& console) {
    std::vector<std::string> args = {"--lat",        "35,0,0", "--lon",   "-106,30,0",    "--ra",
                                     "9,5,0",        "--dec",  "34,30,0", "--star",       "161,117",
                                     "--background", "40,40",  "--dir",   folder.string()};
    args.insert(args.end(), more.begin(), more.end());
    const std::vector<std::string_view> views(args.begin(), args.end());
    const CommandLine c = parseCommandLine(views);
    EXPECT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    return runBatch(c.options, console);
}

std::map<std::string, std::string> fitColumn(const std::filesystem::path& folder,
                                             const std::string& name) {
    const std::string csv = readFile(folder / "ORVEL_fit.csv");
    const std::vector<std::string> bands = csvColumn(csv, "band");
    const std::vector<std::string> values = csvColumn(csv, name);
    std::map<std::string, std::string> byBand;
    for (std::size_t i = 0; i < bands.size(); ++i) byBand[bands[i]] = values.at(i);
    return byBand;
}

TEST(FitChoices, ACloudedFrameIsRejectedAsItsRemovalWouldLeaveIt) {
    TempDir dir;
    const std::filesystem::path clear = dir / "clear", cloud = dir / "cloud";
    simulate(clear, "--frames 12 --seed 5");
    // The same exposures with green at half its light: one of them replaces a clear frame.
    simulate(cloud, "--frames 12 --seed 5 --flux 200000,125000,150000");
    std::filesystem::copy_file(cloud / "NIGHT_0014_G.fit", clear / "NIGHT_0014_G.fit",
                               std::filesystem::copy_options::overwrite_existing);
    ScriptedConsole plain, rejecting, removing;
    ASSERT_EQ(run(clear, {}, plain), 0);
    EXPECT_EQ(fitColumn(clear, "analysed")["G"], "12");
    ASSERT_EQ(run(clear, {"--remove", "NIGHT_0014_G.fit"}, removing), 0);
    const std::map<std::string, std::string> removed = fitColumn(clear, "k");
    ASSERT_EQ(run(clear, {"--reject", "5"}, rejecting), 0);

    const std::string console = rejecting.transcript();
    EXPECT_EQ(count(console, "Rejected "), 1u) << console;
    EXPECT_EQ(count(console, "Rejected NIGHT_0014_G.fit: "), 1u) << console;
    EXPECT_EQ(count(console, " robust deviations from the GREEN line; left out."), 1u);
    EXPECT_EQ(count(readFile(clear / "ORVEL_LOG.txt"), "Rejected NIGHT_0014_G.fit: "), 1u);
    EXPECT_EQ(fitColumn(clear, "k"), removed);
    EXPECT_EQ(fitColumn(clear, "analysed"),
              (std::map<std::string, std::string>{{"R", "12"}, {"G", "11"}, {"B", "12"}}));
    const std::string results = readFile(clear / "ORVEL_results.csv");
    const std::vector<std::string> files = csvColumn(results, "file");
    const std::vector<std::string> notes = csvColumn(results, "note");
    const std::vector<std::string> included = csvColumn(results, "included");
    for (std::size_t i = 0; i < files.size(); ++i) {
        const bool cloudy = files[i] == "NIGHT_0014_G.fit";
        EXPECT_EQ(included[i], cloudy ? "0" : "1") << files[i];
        EXPECT_EQ(notes[i].starts_with("rejected: "), cloudy) << files[i] << ": " << notes[i];
    }
}

TEST(FitChoices, NoiseErrorsMatchTheScatterAndARisingExtinctionIsFound) {
    TempDir dir;
    const std::filesystem::path steady = dir / "steady", rising = dir / "rising";
    simulate(steady, "--frames 15 --seed 2");
    ScriptedConsole quiet;
    ASSERT_EQ(run(steady, {}, quiet), 0);
    // The scatter about the line is what the frames' noise says it should be.
    for (const auto& [band, chi] : fitColumn(steady, "reduced_chi2")) {
        EXPECT_GT(std::stod(chi), 0.3) << band;
        EXPECT_LT(std::stod(chi), 3.0) << band;
    }
    EXPECT_EQ(count(quiet.transcript(), "extinction drifted"), 0u) << quiet.transcript();

    // k rises by 0.08 in every band from the first frame to the last: 0.0136 per hour over 5.9
    // hours.
    simulate(rising, "--frames 30 --seed 2 --k 0.25,0.18,0.12 --k-end 0.33,0.26,0.20");
    ScriptedConsole told;
    ASSERT_EQ(run(rising, {"--weighted"}, told), 0);
    const std::map<std::string, std::string> drift = fitColumn(rising, "drift_per_hour");
    const std::map<std::string, std::string> error = fitColumn(rising, "drift_error");
    for (const char* band : {"R", "G", "B"}) {
        EXPECT_NEAR(std::stod(drift.at(band)), 0.01359, 3 * std::stod(error.at(band))) << band;
        EXPECT_GT(std::stod(drift.at(band)) / std::stod(error.at(band)), 3.0) << band;
    }
    EXPECT_EQ(count(readFile(rising / "ORVEL_LOG.txt"), "Fit weighted by each frame's error"), 1u);
    EXPECT_EQ(count(readFile(steady / "ORVEL_LOG.txt"), "Fit weighted"), 0u);
    EXPECT_EQ(fitColumn(rising, "weighted"),
              (std::map<std::string, std::string>{{"R", "1"}, {"G", "1"}, {"B", "1"}}));
    for (const char* band : {"RED", "GREEN", "BLUE"})
        EXPECT_EQ(count(told.transcript(), std::string(band) + ": extinction drifted by +0.01"), 1u)
            << told.transcript();
}

}  // namespace
}  // namespace orvel
