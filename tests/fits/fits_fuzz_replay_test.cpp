// The fuzz inputs kept in the repository, replayed through the same checks as the fits_fuzz and
// first_image_fuzz targets: the seeds, and every input that once broke a property
// (tests/fuzz/regressions/).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fits_test_util.h"
#include "fuzz/compressed_input_check.h"
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

// Both checks on one input: as any frame of the night and as its first frame.
void expectEveryProperty(const std::string& input, const std::string& what) {
    EXPECT_EQ(fuzz::checkFitsInput(input), "") << what;
    EXPECT_EQ(fuzz::checkFirstImageInput(input), "") << what;
}

TEST(FitsFuzzReplay, EverySeedKeepsEveryProperty) {
    const std::vector<std::filesystem::path> seeds = inputsIn("tests/fuzz/corpus/fits_fuzz");
    ASSERT_GE(seeds.size(), 5u);
    for (const auto& path : seeds) expectEveryProperty(test::readFile(path), path.string());
}

// Compressed frames: well-formed ones, headers that crashed the library or claimed gigabytes
// before they were checked (ZIMAGE = F, ZTILE1 = 0, a block size of 0, 16000 x 16000), and
// saved inputs that once crashed it (a Rice-coded tile whose code runs past its bytes).
TEST(FitsFuzzReplay, EveryCompressedSeedKeepsEveryProperty) {
    std::vector<std::filesystem::path> inputs = inputsIn("tests/fuzz/corpus/compressed_fuzz");
    ASSERT_GE(inputs.size(), 10u);
    for (const auto& path : inputsIn("tests/fuzz/regressions/compressed_fuzz"))
        inputs.push_back(path);
    for (const auto& path : inputs)
        EXPECT_EQ(fuzz::checkCompressedInput(test::readFile(path)), "") << path;
}

// Frames of one row (or column) on a desktop narrower than them: the picture of the first
// frame was 0 pixels high, no window opened, and the run ended before the picks.
TEST(FitsFuzzReplay, FramesLowerThanTheScreenFactorAreShown) {
    const std::vector<std::filesystem::path> saved = inputsIn("tests/fuzz/regressions/fits_fuzz");
    ASSERT_GE(saved.size(), 2u);
    for (const auto& path : saved) expectEveryProperty(test::readFile(path), path.string());
}

// The image file part of a seed, without the picks at its end, read as the night reads a file.
test::ReadResult readSeedFile(const test::TempDir& dir, const std::string& name) {
    const std::string seed = test::readFile(std::filesystem::path(ORVEL_SOURCE_DIR) /
                                            "tests/fuzz/corpus/fits_fuzz" / name);
    fuzz::TailReader in(seed);
    fuzz::readPicks(in);
    return test::readFitsBytes(dir, std::string(in.rest()), name + ".fit");
}

// The seeds of the legal forms that a reader of fixed columns misreads hold the star frame of
// star_u16: read right, they give its header values (but for what each adds) and its pixels.
TEST(FitsFuzzReplay, SeedsOfTheStandardFormsReadAsTheirPlainTwin) {
    test::TempDir dir;
    const test::ReadResult plain = readSeedFile(dir, "star_u16");
    ASSERT_EQ(plain.header.columns, 24);
    ASSERT_EQ(plain.header.hour, 21);
    ASSERT_EQ(plain.count, 480);
    for (const std::string name :
         {"endtime_card", "free_format_values", "date_and_time_obs", "naxis3_imagetyp_saturate"}) {
        SCOPED_TRACE(name);
        const test::ReadResult r = readSeedFile(dir, name);
        ImageHeader expected = plain.header;
        if (name == "endtime_card") {
            expected.cardCount = 72;  // its END card is in the second block
            expected.dataStart = 5761;
        }
        if (name == "naxis3_imagetyp_saturate") {
            expected.imageType = "Light Frame";
            expected.hasSaturate = true;
            expected.saturate = 65535.0f;
        }
        test::expectSameHeader(r.header, expected);
        EXPECT_EQ(r.image.pixels, plain.image.pixels);
        EXPECT_EQ(test::keywordLines(r.lines), test::keywordLines(plain.lines));
    }
}

TEST(FitsFuzzReplay, EmptyAndTinyInputsKeepEveryProperty) {
    for (const std::string& input : {std::string(), std::string(1, 'E'), std::string("END"),
                                     std::string(2880, ' '), std::string(2879, '\0') + "END"})
        expectEveryProperty(input, std::to_string(input.size()) + " bytes");
}

}  // namespace
}  // namespace orvel
