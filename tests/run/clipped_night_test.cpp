// Nights of 12-bit cameras whose star is bright enough to clip near the top of the night: the
// clipped frames are left out and k agrees with the simulator's truth.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/scripted_console.h"
#include "run/batch_run.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::csvColumn;
using test::readFile;

// The red star (50000 ADU above the atmosphere) clips at the converter's ceiling near the
// meridian; green and blue (30000 ADU) never do. Truth: k = 0.25, 0.18, 0.12.
void expectClippedFramesLeftOut(const std::string& adc, const std::string& ceiling) {
    test::TempDir dir;
    const std::string command =
        std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " + dir.path().string() + " " + adc +
        " --frames 12 --flux 50000,30000,30000 --k 0.25,0.18,0.12 --seed 4 > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ScriptedConsole console;
    ASSERT_EQ(runBatch(test::simulatedNightOptions(dir.path(), 352, 217, 100, 100), console), 0);

    const std::string results = readFile(dir / "ORVEL_results.csv");
    const std::vector<std::string> bands = csvColumn(results, "band");
    const std::vector<std::string> notes = csvColumn(results, "note");
    const std::vector<std::string> included = csvColumn(results, "included");
    ASSERT_EQ(bands.size(), 36u);
    int clipped = 0;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        const bool saturated = notes[i] == "its star is saturated (a pixel of " + ceiling +
                                               " DC, the ceiling of a 12-bit camera)";
        clipped += saturated;
        EXPECT_EQ(included[i], saturated ? "0" : "1") << i << " " << notes[i];
        if (bands[i] != "R") {
            EXPECT_FALSE(saturated) << i;
        }
    }
    EXPECT_GE(clipped, 3);
    EXPECT_LE(clipped, 8);

    const std::string fit = readFile(dir / "ORVEL_fit.csv");
    const std::vector<std::string> k = csvColumn(fit, "k");
    const std::vector<std::string> error = csvColumn(fit, "k_standard_error");
    ASSERT_EQ(k.size(), 3u);
    const double truth[] = {0.25, 0.18, 0.12};
    for (std::size_t b = 0; b < 3; ++b)
        EXPECT_LT(std::fabs(std::stod(k[b]) - truth[b]), 2 * std::stod(error[b]))
            << "band " << b << " k " << k[b] << " +- " << error[b];
}

TEST(ClippedNight, TwelveBitCountsClipAt4095) {
    expectClippedFramesLeftOut("--adc-bits 12", "4095");
}

TEST(ClippedNight, TwelveBitCountsTimesSixteenClipAt65520) {
    expectClippedFramesLeftOut("--adc-bits 12 --adc-scale 16", "65520");
}

}  // namespace
}  // namespace orvel
