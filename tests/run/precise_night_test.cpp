// --airmass precise in both flows: the fitted airmass named once in the log, the precise
// columns in the results, the same files from a dialogue and from options.
#include <gtest/gtest.h>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/batch_run.h"
#include "run/options.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::logLines;
using test::readFile;
using test::TempDir;

// The airmass of ORVEL_weights.csv at 30 degrees altitude (its row 13: 90 down to 30 by 5).
double weightsAirmassAt30(const TempDir& dir) {
    const std::string csv = readFile(dir / "ORVEL_weights.csv");
    EXPECT_EQ(test::csvColumn(csv, "altitude_deg").at(12), "30");
    return std::stod(test::csvColumn(csv, "airmass").at(12));
}

std::size_t linesStartingWith(const std::string& log, const std::string& start) {
    std::size_t n = 0;
    for (const std::string& line : logLines(log)) n += line.starts_with(start);
    return n;
}

TEST(PreciseNight, BothFlowsFitThePreciseAirmassAndSaySoOnce) {
    TempDir interactive;
    TempDir unattended;
    PreciseAirmassSettings settings;
    settings.pressureHpa = 0.0;

    RunOptions options;
    options.preciseAirmass = settings;
    ASSERT_EQ(test::runSmallNightBothWays(unattended, interactive, options), std::make_pair(0, 0));

    for (const TempDir* dir : {&interactive, &unattended}) {
        const std::string log = readFile(*dir / "ORVEL_LOG.txt");
        EXPECT_EQ(linesStartingWith(log, "Airmass fitted = precise (ERFA, J2000 coordinates"), 1u);
        EXPECT_EQ(linesStartingWith(log, "Airmass fitted = "), 1u);
        const std::string csv = readFile(*dir / "ORVEL_results.csv");
        // Every measured row has the two precise numbers.
        for (const char* column : {"precise_airmass", "precise_elevation_deg"}) {
            const std::vector<std::string> values = test::csvColumn(csv, column);
            ASSERT_GE(values.size(), 1u) << column;
            EXPECT_FALSE(values[0].empty()) << column;
        }
        // The colour weights follow the fitted airmass: Pickering's 1 / sin(30 + 244 / (165 +
        // 47 x 30^1.1)) degrees = 1.99315385 (Hardie's would be 1.9945003).
        EXPECT_NEAR(weightsAirmassAt30(*dir), 1.99315385, 6e-9);
    }
    EXPECT_EQ(readFile(interactive / "ORVEL_results.csv"),
              readFile(unattended / "ORVEL_results.csv"));
    EXPECT_EQ(readFile(interactive / "ORVEL_fit.csv"), readFile(unattended / "ORVEL_fit.csv"));
}

TEST(PreciseNight, WithoutTheOptionNothingIsSaidAndTheColumnsAreEmpty) {
    TempDir dir;
    test::writeSmallNight(dir);
    ScriptedConsole out;
    ASSERT_EQ(runBatch(test::smallNightOptions(dir.path()), out), 0);
    EXPECT_EQ(linesStartingWith(readFile(dir / "ORVEL_LOG.txt"), "Airmass fitted"), 0u);
    const std::string csv = readFile(dir / "ORVEL_results.csv");
    for (const char* column : {"precise_airmass", "precise_elevation_deg"}) {
        const std::vector<std::string> values = test::csvColumn(csv, column);
        ASSERT_GE(values.size(), 1u) << column;
        EXPECT_EQ(values[0], "") << column;
    }
    // Hardie's airmass at 30 degrees: 2 - 0.0018167 - 0.002875 - 0.000808, in 32 bits.
    EXPECT_NEAR(weightsAirmassAt30(dir), 1.9945003, 5e-7);
}

}  // namespace
}  // namespace orvel
