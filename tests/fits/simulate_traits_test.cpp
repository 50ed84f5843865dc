// The simulator's traits of real frames, each read back from the FITS bytes it writes against
// values worked by hand: hot pixels, cosmic rays, Moffat and ring profiles, a 12-bit converter,
// a drifting, turning and flipping field with its further stars, and the truth of each.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "base/typed_line.h"
#include "fits_test_util.h"

namespace orvel {
namespace {

// Runs the simulator of this build writing into dir/out; true when it succeeds.
bool simulate(const test::TempDir& dir, const std::string& out, const std::string& args) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                (dir / out).string() + " " + args + " > " +
                                (dir / "stdout.txt").string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The lines of a file of the simulator's.
std::vector<std::string> linesOf(const std::filesystem::path& path) {
    std::vector<std::string> lines;
    std::istringstream in(test::readFile(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Seconds of the day of a truth row's UT "YYYY-MM-DDThh:mm:ss" (the nights tested stay in one
// UT day).
double secondsOfDay(const std::string& ut) {
    return std::stoi(ut.substr(11, 2)) * 3600.0 + std::stoi(ut.substr(14, 2)) * 60.0 +
           std::stoi(ut.substr(17, 2));
}

double sumAll(const PixelImage& image) {
    double sum = 0.0;
    for (const float v : image.pixels) sum += v;
    return sum;
}

constexpr const char* kQuiet = "--bitpix -32 --no-noise --sky 100 ";

TEST(SimulatorTraits, HotPixelsStayAndCosmicRaysComeOncePerFrame) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(dir, "d",
                         std::string(kQuiet) +
                             "--flux 0,0,0 --size 60x50 --frames 1 --hot-pixel 7,9 --hot-pixels 2"
                             " --cosmic-rays 3 --cosmic-ray 2:20,21"));
    std::vector<PixelImage> frames;
    for (const char* name : {"NIGHT_0001_R.fit", "NIGHT_0002_G.fit", "NIGHT_0003_B.fit"})
        frames.push_back(test::readFitsFile(dir / "d" / name).image);
    // The hot pixel placed by hand: 30000 ADU above the sky of 100 in every frame.
    for (const PixelImage& f : frames) EXPECT_FLOAT_EQ(f.at(7, 9), 30100.0f);
    // The hit placed by hand is in frame 2 only.
    EXPECT_FLOAT_EQ(frames[1].at(20, 21), 20100.0f);
    EXPECT_FLOAT_EQ(frames[0].at(20, 21), 100.0f);
    // Every other lit pixel is one defects.csv lists for its frame, with its ADU.
    std::map<std::pair<int, int>, double> lit[3];
    std::map<std::pair<int, int>, int> hot;
    const std::vector<std::string> rows = linesOf(dir / "d" / "defects.csv");
    ASSERT_EQ(rows.at(0), "frame,column,row,kind,adu");
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const int frame = std::stoi(field(rows[i], 1));
        const std::pair<int, int> at{std::stoi(field(rows[i], 2)), std::stoi(field(rows[i], 3))};
        lit[frame - 1][at] += numericValue(field(rows[i], 5));
        if (field(rows[i], 4) == "hot") ++hot[at];
    }
    // Three hot pixels, each listed in all three frames.
    ASSERT_EQ(hot.size(), 3u);
    for (const auto& [at, times] : hot) EXPECT_EQ(times, 3) << at.first << "," << at.second;
    for (int f = 0; f < 3; ++f) {
        int litPixels = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 60; ++x) {
                const auto it = lit[f].find({x, y});
                const double expected = 100.0 + (it == lit[f].end() ? 0.0 : it->second);
                EXPECT_NEAR(frames[f].at(x, y), expected, 0.06) << f << ":" << x << "," << y;
                litPixels += frames[f].at(x, y) > 101.0f;
            }
        // 3 hot pixels and at least 3 hits of one to three pixels each.
        EXPECT_GE(litPixels, 6);
    }
    // The seed's hits fall elsewhere in each frame.
    EXPECT_NE(lit[0], lit[2]);
}

TEST(SimulatorTraits, AColourCamerasHitShowsInItsMosaic) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(dir, "c",
                         std::string(kQuiet) + "--flux 0,0,0 --size 30x20 --frames 2 --colour bayer"
                                               " --cosmic-ray 2:11,11"));
    // Pixel (11, 11) is blue in an RGGB mosaic; the hit is in the second file only.
    EXPECT_FLOAT_EQ(test::readFitsFile(dir / "c" / "NIGHT_0002.fit").image.at(11, 11), 20100.0f);
    EXPECT_FLOAT_EQ(test::readFitsFile(dir / "c" / "NIGHT_0001.fit").image.at(11, 11), 100.0f);
    EXPECT_EQ(linesOf(dir / "c" / "defects.csv").at(1), "2,11,11,cosmic,20000.0");
}

TEST(SimulatorTraits, MoffatKeepsTheFluxAndTheWidth) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(dir, "m",
                         "--bitpix -32 --no-noise --sky 0 --size 240x240 --frames 1 --star 120,120"
                         " --moffat 2.5 --fwhm 12"));
    const std::vector<std::string> truth = linesOf(dir / "m" / "truth.csv");
    const double flux = numericValue(field(truth.at(1), 6));
    const PixelImage image = test::readFitsFile(dir / "m" / field(truth[1], 1)).image;
    // Beyond 120 pixels lies (1 + (120/alpha)^2)^-1.5 < 1e-3 of the light.
    EXPECT_NEAR(sumAll(image), flux, 0.01 * flux);
    // alpha = 12 / (2 sqrt(2^0.4 - 1)) = 10.6148; I0 = 1.5 flux / (pi alpha^2) = 0.0042377 flux.
    EXPECT_NEAR(image.at(120, 120), 0.0042377 * flux, 0.01 * 0.0042377 * flux);
    // Half of it at half the FWHM from the centre.
    EXPECT_NEAR(image.at(126, 120) / image.at(120, 120), 0.5, 0.01);
}

TEST(SimulatorTraits, DonutIsAFlatRingAroundAHole) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(dir, "r",
                         "--bitpix -32 --no-noise --sky 0 --size 60x60 --frames 1 --star 30,30"
                         " --donut 0.5 --fwhm 4"));
    const std::vector<std::string> truth = linesOf(dir / "r" / "truth.csv");
    const double flux = numericValue(field(truth.at(1), 6));
    const PixelImage image = test::readFitsFile(dir / "r" / field(truth[1], 1)).image;
    EXPECT_NEAR(sumAll(image), flux, 0.005 * flux);
    // Radii 8 and 4: flux / (pi (64 - 16)) per pixel in the ring, nothing in the hole.
    EXPECT_FLOAT_EQ(image.at(30, 30), 0.0f);
    EXPECT_NEAR(image.at(36, 30), flux / 150.79645, 1e-4 * flux);
    EXPECT_FLOAT_EQ(image.at(30, 39), 0.0f);
}

TEST(SimulatorTraits, TwelveBitCamerasSaturateAtTheirOwnCeiling) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(dir, "a", "--size 60x50 --frames 1 --adc-bits 12"));
    ASSERT_TRUE(simulate(dir, "b", "--size 60x50 --frames 1 --adc-scale 16 --no-noise"));
    const PixelImage twelve = test::readFitsFile(dir / "a" / "NIGHT_0001_R.fit").image;
    const PixelImage scaled = test::readFitsFile(dir / "b" / "NIGHT_0001_R.fit").image;
    float top = 0.0f, scaledTop = 0.0f;
    for (const float v : twelve.pixels) {
        EXPECT_LE(v, 4095.0f);
        top = std::max(top, v);
    }
    for (const float v : scaled.pixels) {
        EXPECT_EQ(std::fmod(v, 16.0f), 0.0f) << v;
        scaledTop = std::max(scaledTop, v);
    }
    // The star's peak reaches both ceilings; the sky of 800 counts is written as 12800.
    EXPECT_EQ(top, 4095.0f);
    EXPECT_EQ(scaledTop, 65520.0f);
    EXPECT_EQ(scaled.at(0, 0), 12800.0f);
}

TEST(SimulatorTraits, DriftMovesTheStarByItsRatePerHour) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(
        dir, "d", std::string(kQuiet) + "--size 120x100 --frames 2 --star 30.3,60.6 --drift 6,-4"));
    const std::vector<std::string> truth = linesOf(dir / "d" / "truth.csv");
    EXPECT_EQ(truth.at(0), "file,band,ut,elevation_deg,airmass,flux_adu,note,star_column,star_row");
    const double start = secondsOfDay(field(truth[1], 3));
    for (int i = 1; i <= 6; ++i) {
        const std::string& row = truth.at(static_cast<std::size_t>(i));
        const double hours = (secondsOfDay(field(row, 3)) - start) / 3600.0;
        const double x = numericValue(field(row, 8)), y = numericValue(field(row, 9));
        EXPECT_NEAR(x, 30.3 + 6.0 * hours, 1e-3) << row;
        EXPECT_NEAR(y, 60.6 - 4.0 * hours, 1e-3) << row;
        // The brightest pixel is the one holding that place.
        const PixelImage image = test::readFitsFile(dir / "d" / field(row, 1)).image;
        const int cx = static_cast<int>(std::lround(x)), cy = static_cast<int>(std::lround(y));
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                EXPECT_LE(image.at(cx + dx, cy + dy), image.at(cx, cy));
    }
}

TEST(SimulatorTraits, MeridianFlipTurnsTheWholeFieldAndSaysSo) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(dir, "f",
                         std::string(kQuiet) +
                             "--k 0,0,0 --size 80x60 --frames 2 --star 20.3,15.6 --neighbour"
                             " 10,50000 --field-stars 4 --meridian-flip 1"));
    const std::vector<std::string> truth = linesOf(dir / "f" / "truth.csv");
    // Frame 1 at the first moment, frame 4 (also R, so of the same flux) about 3.5 hours later.
    EXPECT_EQ(field(truth.at(1), 11) + "," + field(truth[1], 12), "20.3000,15.6000");
    EXPECT_EQ(field(truth.at(4), 11) + "," + field(truth[4], 12), "58.7000,43.4000");
    const std::string east = test::readFile(dir / "f" / "NIGHT_0001_R.fit");
    const std::string west = test::readFile(dir / "f" / "NIGHT_0004_R.fit");
    EXPECT_NE(east.find("PIERSIDE= 'EAST"), std::string::npos);
    EXPECT_NE(west.find("PIERSIDE= 'WEST"), std::string::npos);
    const PixelImage before = test::readFitsFile(dir / "f" / "NIGHT_0001_R.fit").image;
    const PixelImage after = test::readFitsFile(dir / "f" / "NIGHT_0004_R.fit").image;
    // Star, second star and field stars all turned: (x, y) goes to (79 - x, 59 - y).
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_NEAR(after.at(79 - x, 59 - y), before.at(x, y), 0.02) << x << "," << y;
    // The field stars add light beyond the star's 200000 and the second star's 50000.
    EXPECT_GT(sumAll(before) - 100.0 * 80 * 60, 250000.0 + 1000.0);
}

TEST(SimulatorTraits, RotationTurnsAboutTheFrameCentre) {
    test::TempDir dir;
    ASSERT_TRUE(simulate(
        dir, "t", std::string(kQuiet) + "--size 101x81 --frames 2 --star 80,40 --rotation 20"));
    const std::vector<std::string> truth = linesOf(dir / "t" / "truth.csv");
    const double start = secondsOfDay(field(truth.at(1), 3));
    for (int i = 1; i <= 6; ++i) {
        const std::string& row = truth.at(static_cast<std::size_t>(i));
        const double hours = (secondsOfDay(field(row, 3)) - start) / 3600.0;
        // The centre is (50, 40): the star stays 30 pixels from it, at 20 degrees an hour.
        const double dx = numericValue(field(row, 8)) - 50.0;
        const double dy = numericValue(field(row, 9)) - 40.0;
        EXPECT_NEAR(std::hypot(dx, dy), 30.0, 1e-3) << row;
        EXPECT_NEAR(std::remainder(std::atan2(dy, dx) * 57.29577951308232 - 20.0 * hours, 360.0),
                    0.0, 1e-2)
            << row;
    }
}

TEST(SimulatorTraits, BadTraitValuesAreRefused) {
    test::TempDir dir;
    for (const char* bad :
         {"--moffat 1", "--donut 1", "--adc-bits 12 --adc-scale 32", "--adc-scale 3",
          "--cosmic-ray 7:1,1 --frames 2", "--hot-pixel 3", "--drift 1", "--hot-pixels -1",
          "--meridian-flip -2", "--hot-pixel 20,3", "--cosmic-ray 1:3,-1"})
        EXPECT_FALSE(simulate(dir, "x", std::string("--size 20x20 ") + bad)) << bad;
}

}  // namespace
}  // namespace orvel
