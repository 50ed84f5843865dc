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

// Field n (from 0) of a CSV row without quoted fields.
std::string csvColumn(const std::string& row, std::size_t n) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) start = row.find(',', start) + 1;
    return row.substr(start, row.find(',', start) - start);
}

std::size_t linesStartingWith(const std::string& log, const std::string& start) {
    std::size_t n = 0;
    for (const std::string& line : logLines(log)) n += line.starts_with(start);
    return n;
}

TEST(PreciseNight, BothFlowsFitThePreciseAirmassAndSaySoOnce) {
    TempDir interactive;
    TempDir unattended;
    test::writeSmallNight(interactive);
    test::writeSmallNight(unattended);
    PreciseAirmassSettings settings;
    settings.pressureHpa = 0.0;

    BatchOptions o = test::smallNightOptions(unattended.path());
    o.run.preciseAirmass = settings;
    ScriptedConsole out;
    ASSERT_EQ(runBatch(o, out), 0);

    ScriptedConsole console({"y", "35,0,0", "0,0,0", "6,0,0", "35,0,0", "Y", "Y", "N", "N", "X"});
    ScriptedWindow window;
    window.addClick(30, 20);
    window.addClick(50, 40);
    RunOptions options;
    options.preciseAirmass = settings;
    RunEnvironment env{console, window, interactive.path(), options};
    ASSERT_EQ(runOrvel(env), 0);

    for (const TempDir* dir : {&interactive, &unattended}) {
        const std::string log = readFile(*dir / "ORVEL_LOG.txt");
        EXPECT_EQ(linesStartingWith(log, "Airmass fitted = precise (ERFA, J2000 coordinates"), 1u);
        EXPECT_EQ(linesStartingWith(log, "Airmass fitted = "), 1u);
        const auto rows = logLines(readFile(*dir / "ORVEL_results.csv"));
        ASSERT_GE(rows.size(), 2u);
        EXPECT_EQ(csvColumn(rows[0], 12), "note");
        EXPECT_EQ(csvColumn(rows[0], 13), "precise_airmass");
        EXPECT_EQ(csvColumn(rows[0], 14), "precise_elevation_deg");
        // Every measured row has the two precise numbers after its note.
        EXPECT_NE(csvColumn(rows[1], 13), "");
        EXPECT_NE(csvColumn(rows[1], 14), "");
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
    const auto rows = logLines(readFile(dir / "ORVEL_results.csv"));
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(csvColumn(rows[1], 13), "");
    EXPECT_EQ(csvColumn(rows[1], 14), "");
}

}  // namespace
}  // namespace orvel
