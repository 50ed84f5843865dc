// A simulated night with known extinction: the measured k of every band agrees with the truth
// within its noise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/scripted_console.h"
#include "run/batch_run.h"
#include "support/test_support.h"

namespace orvel {
namespace {

std::vector<std::string> csvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, ',');) fields.push_back(f);
    return fields;
}

TEST(ExtinctionTruth, MeasuredCoefficientsAgreeWithTheSimulatedOnes) {
    test::TempDir dir;
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                dir.path().string() +
                                " --frames 12 --size 320x240 --star 161,117 --seed 5 > " +
                                (dir / "typed.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::map<std::string, double> truth;
    bool inBands = false;
    std::stringstream truthText(test::readFile(dir / "truth.csv"));
    for (std::string line; std::getline(truthText, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.starts_with("band,k")) inBands = true;
        else if (inBands && !line.empty()) truth[csvFields(line)[0]] = std::stod(csvFields(line)[1]);
    }
    ASSERT_EQ(truth.size(), 3u);

    ScriptedConsole console;
    ASSERT_EQ(runBatch(test::simulatedNightOptions(dir.path(), 161, 117, 40, 40), console), 0);
    const auto rows = test::logLines(test::readFile(dir / "ORVEL_fit.csv"));
    ASSERT_EQ(rows.size(), 4u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto f = csvFields(rows[i]);
        const double k = std::stod(f[1]);
        const double error = std::stod(f[2]);
        EXPECT_LT(error, 0.02) << f[0];
        // Four standard errors, and a little for the program's simpler sidereal time.
        EXPECT_NEAR(k, truth[f[0]], 4 * error + 0.005) << "band " << f[0];
        EXPECT_EQ(f[6], "12");
    }
}

}  // namespace
}  // namespace orvel
