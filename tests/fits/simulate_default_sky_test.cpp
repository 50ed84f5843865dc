// The simulator's night without --k has the extinction of a real clear sky: blue dimmed most
// and red least, so the first numbers a newcomer sees are ordered as a real night's.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "fits_test_util.h"

namespace orvel {
namespace {

// The band table of a truth.csv: band letter -> k, from the rows after its "band,k," header.
std::map<char, double> bandTable(const std::string& truth) {
    std::map<char, double> k;
    std::istringstream in(truth);
    bool inBands = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("band,k,", 0) == 0) {
            inBands = true;
        } else if (inBands && line.size() > 2 && line[1] == ',') {
            k[line[0]] = std::stod(line.substr(2, line.find(',', 2) - 2));
        }
    }
    return k;
}

TEST(SimulatorDefaultSky, BlueIsDimmedMostThenGreenThenRed) {
    test::TempDir dir;
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                (dir / "night").string() +
                                " --size 40x30 --frames 1 --no-noise > /dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::map<char, double> k = bandTable(test::readFile(dir / "night" / "truth.csv"));
    ASSERT_EQ(k.size(), 3u);
    EXPECT_GT(k.at('B'), k.at('G'));
    EXPECT_GT(k.at('G'), k.at('R'));
    EXPECT_GT(k.at('R'), 0.0);
    // The documented default, ln per airmass.
    EXPECT_DOUBLE_EQ(k.at('R'), 0.12);
    EXPECT_DOUBLE_EQ(k.at('G'), 0.18);
    EXPECT_DOUBLE_EQ(k.at('B'), 0.25);
}

}  // namespace
}  // namespace orvel
