// The fuzz inputs kept in the repository, replayed through the same checks as the fits_fuzz
// target: the seeds, and every input that once broke a property (tests/fuzz/regressions/).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fits_input_check.h"
#include "support/test_support.h"

namespace orvel {
namespace {

std::vector<std::filesystem::path> inputsIn(const std::string& folder) {
    std::vector<std::filesystem::path> paths;
    const std::filesystem::path dir = std::filesystem::path(ORVEL_SOURCE_DIR) / folder;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) paths.push_back(entry.path());
    return paths;
}

TEST(FitsFuzzReplay, EverySeedKeepsEveryProperty) {
    const std::vector<std::filesystem::path> seeds = inputsIn("tests/fuzz/corpus/fits_fuzz");
    ASSERT_GE(seeds.size(), 5u);
    for (const auto& path : seeds)
        EXPECT_EQ(fuzz::checkFitsInput(test::readFile(path)), "") << path;
}

// Frames of one row (or column) on a desktop narrower than them: the picture of the first
// frame was 0 pixels high, no window opened, and the run ended before the picks.
TEST(FitsFuzzReplay, FramesLowerThanTheScreenFactorAreShown) {
    const std::vector<std::filesystem::path> saved = inputsIn("tests/fuzz/regressions/fits_fuzz");
    ASSERT_GE(saved.size(), 2u);
    for (const auto& path : saved)
        EXPECT_EQ(fuzz::checkFitsInput(test::readFile(path)), "") << path;
}

TEST(FitsFuzzReplay, EmptyAndTinyInputsKeepEveryProperty) {
    for (const std::string& input : {std::string(), std::string(1, 'E'), std::string("END"),
                                     std::string(2880, ' '), std::string(2879, '\0') + "END"})
        EXPECT_EQ(fuzz::checkFitsInput(input), "") << input.size();
}

}  // namespace
}  // namespace orvel
