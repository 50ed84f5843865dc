// The night simulator: its sky geometry against textbook values, and its frames read back by
// the header parser and pixel decoder with the intended header values and believable pixels.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../../tools/simulate/simulate_sky.h"
#include "base/typed_line.h"
#include "fits_test_util.h"

namespace orvel {
namespace {

namespace sim = orvel::simulate;

// Runs the simulator binary of this build; returns its exit status, stdout in `output`.
int runSimulator(const test::TempDir& dir, const std::string& args, std::string& output) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate " + args + " > " +
                                (dir / "stdout.txt").string() + " 2>&1";
    const int status = std::system(command.c_str());
    output = test::readFile(dir / "stdout.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The lines of a text file, split at line feeds.
std::vector<std::string> textLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

float median(std::vector<float> values) {
    const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    return *mid;
}

// Sum of pixel values above the sky in a square window about a pixel.
double windowSignal(const PixelImage& image, int cx, int cy, int half, double sky) {
    double sum = 0.0;
    for (int y = cy - half; y <= cy + half; ++y)
        for (int x = cx - half; x <= cx + half; ++x)
            if (image.contains(x, y)) sum += image.at(x, y) - sky;
    return sum;
}

// The 80-character header card of a keyword in a file's bytes; empty when the header has none.
std::string headerCard(const std::string& bytes, std::string keyword) {
    keyword.resize(8, ' ');
    for (std::size_t at = 0; at + 80 <= bytes.size(); at += 80) {
        const std::string card = bytes.substr(at, 80);
        if (card.compare(0, 8, keyword) == 0) return card;
        if (card.compare(0, 8, "END     ") == 0) break;
    }
    return {};
}

// The value of a card: columns 11 to 80 up to any comment, blanks and quotes removed.
std::string cardValue(const std::string& card) {
    std::string value = card.size() > 10 ? card.substr(10) : std::string();
    value = value.substr(0, value.find(" /"));
    const auto keep = [](char c) { return c != ' ' && c != '\''; };
    const auto first = std::find_if(value.begin(), value.end(), keep);
    const auto last = std::find_if(value.rbegin(), value.rend(), keep).base();
    return first < last ? std::string(first, last) : std::string();
}

TEST(SimulatorSky, TimeAndAngleFormulasGiveTextbookValues) {
    EXPECT_DOUBLE_EQ(sim::julianDate({2000, 1, 1, 12, 0, 0}), 2451545.0);
    EXPECT_DOUBLE_EQ(sim::julianDate({1987, 4, 10, 0, 0, 0}), 2446895.5);
    EXPECT_NEAR(sim::gmstDegrees(2451545.0), 280.46061837, 1e-8);
    // 1987 April 10, 0h UT: 13h 10m 46.3668s (a worked textbook example).
    EXPECT_NEAR(sim::gmstDegrees(2446895.5), (13 + 10 / 60.0 + 46.3668 / 3600.0) * 15, 1e-5);
    EXPECT_NEAR(sim::hardieAirmass(90.0), 1.0, 1e-12);
    EXPECT_NEAR(sim::hardieAirmass(30.0), 1.9945003, 1e-7);
    EXPECT_NEAR(sim::hardieAirmass(20.0), 2.90392, 1e-5);
    EXPECT_NEAR(sim::altitudeDegrees(35.0, 35.0, 0.0), 90.0, 1e-5);
    EXPECT_NEAR(sim::altitudeDegrees(35.0, 34.5, -30.0), sim::altitudeDegrees(35.0, 34.5, 30.0),
                1e-12);
    const sim::CivilTime leap{2024, 2, 29, 23, 59, 59};
    const sim::CivilTime back = sim::civilFromSeconds(sim::secondsFromCivil(leap));
    EXPECT_EQ(sim::isoTime(back), "2024-02-29T23:59:59");
    EXPECT_EQ(sim::isoTime(sim::civilFromSeconds(sim::secondsFromCivil(leap) + 1)),
              "2024-03-01T00:00:00");
    EXPECT_DOUBLE_EQ(2440587.5 + static_cast<double>(sim::secondsFromCivil(leap)) / 86400.0,
                     sim::julianDate(leap));
}

TEST(Simulator, SixteenBitNightReadsBackWithItsHeaderAndStar) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(runSimulator(dir,
                           "--out " + (dir / "night").string() +
                               " --size 64x48 --frames 3 --star 30.3,20.6 --seed 7",
                           output),
              0)
        << output;
    EXPECT_NE(output.find("35,0,0"), std::string::npos);
    EXPECT_NE(output.find("-106,30,0"), std::string::npos);
    EXPECT_NE(output.find("9,5,0"), std::string::npos);
    EXPECT_NE(output.find("34,30,0"), std::string::npos);
    EXPECT_NE(output.find("30.30, 20.60"), std::string::npos);

    const std::vector<std::string> truth = textLines(test::readFile(dir / "night" / "truth.csv"));
    ASSERT_EQ(truth.size(), 15u);
    EXPECT_EQ(truth[0], "file,band,ut,elevation_deg,airmass,flux_adu,note");
    EXPECT_EQ(truth[11], "band,k,flux_above_atmosphere_adu");
    EXPECT_EQ(truth[12], "R,0.12,200000.000");
    const double k[3] = {0.12, 0.18, 0.25};
    const double flux[3] = {2.0e5, 2.5e5, 1.5e5};
    double previousAirmass = 0.0;
    for (int i = 0; i < 9; ++i) {
        const std::string& row = truth[static_cast<std::size_t>(i) + 1];
        const std::string name = field(row, 1);
        const int band = i % 3;
        EXPECT_EQ(name, "NIGHT_000" + std::to_string(i + 1) + "_" + "RGB"[band] + ".fit");
        const double airmass = numericValue(field(row, 5));
        const double trueFlux = numericValue(field(row, 6));
        EXPECT_GT(airmass, previousAirmass);
        previousAirmass = airmass;
        // The file rounds the airmass to 6 decimals.
        EXPECT_NEAR(trueFlux, flux[band] * std::exp(-k[band] * airmass), 2e-6 * trueFlux);

        const test::ReadResult r = test::readFitsFile(dir / "night" / name);
        ASSERT_TRUE(r.scan.endFound) << name;
        EXPECT_EQ(r.header.bitpix, 16);
        EXPECT_EQ(r.header.columns, 64);
        EXPECT_EQ(r.header.rows, 48);
        EXPECT_EQ(r.header.bscale, 1.0f);
        EXPECT_EQ(r.header.bzero, 32768.0f);
        EXPECT_EQ(r.header.exposure, 30.0f);
        EXPECT_TRUE(r.header.hasDate);
        const std::string ut = field(row, 3);
        EXPECT_EQ(r.header.year, 2026);
        EXPECT_EQ(r.header.hour, std::stoi(ut.substr(11, 2)));
        EXPECT_EQ(r.header.minute, std::stoi(ut.substr(14, 2)));
        EXPECT_EQ(r.header.second, std::stoi(ut.substr(17, 2)));
        EXPECT_EQ(r.count, 64 * 48);

        // Sky near 800 ADU, the brightest pixel on the star, and its signal near the truth
        // (the window's noise is about 0.6 % of the signal).
        const float sky = median(test::pixelValues(r.image));
        EXPECT_NEAR(sky, 800.0f, 5.0f);
        const auto peak =
            std::max_element(r.image.pixels.begin(), r.image.pixels.end()) - r.image.pixels.begin();
        EXPECT_EQ(peak % 64, 30);
        EXPECT_EQ(peak / 64, 21);
        EXPECT_NEAR(windowSignal(r.image, 30, 21, 10, sky), trueFlux, 0.04 * trueFlux) << name;
    }
    EXPECT_NEAR(numericValue(field(truth[1], 5)), 1.0, 0.001);   // first frame near the zenith
    EXPECT_NEAR(numericValue(field(truth[9], 5)), 2.904, 0.01);  // last near 20 degrees
}

TEST(Simulator, NoiselessFloatFramesHoldTheExpectedValues) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(runSimulator(dir,
                           "--out=" + (dir / "f").string() +
                               " --bitpix -32 --no-noise --size 40x30 --frames 1 "
                               "--sky 100 --fwhm 2.5 --k 0.3,0.2,0.1 --flux 1000,2000,3000",
                           output),
              0)
        << output;
    const std::vector<std::string> truth = textLines(test::readFile(dir / "f" / "truth.csv"));
    ASSERT_GE(truth.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        const std::string& row = truth[static_cast<std::size_t>(i) + 1];
        const test::ReadResult r = test::readFitsFile(dir / "f" / field(row, 1));
        EXPECT_EQ(r.header.bitpix, -32);
        EXPECT_EQ(r.header.bzero, 0.0f);
        EXPECT_EQ(r.count, 40 * 30);
        EXPECT_EQ(r.image.at(0, 0), 100.0f);
        // The whole profile lies inside the frame, so the signal is the flux after extinction.
        EXPECT_NEAR(windowSignal(r.image, 22, 14, 20, 100.0), numericValue(field(row, 6)), 0.05);
    }
}

// A night with one spoilt frame of each kind, the colour cube and the master dark, against
// the same night without them: only the named frames differ, each in the way asked for.
TEST(Simulator, SpoiltFramesDifferOnlyWhereNamed) {
    test::TempDir dir;
    std::string output;
    const std::string night = " --size 64x48 --frames 3 --star 30.3,20.6 --seed 7";
    const std::string spoilt =
        " --saturate 2 --hide-star 4 --cut 6 --below-horizon 8 --cube --dark";
    ASSERT_EQ(runSimulator(dir, "--out " + (dir / "plain").string() + night, output), 0) << output;
    ASSERT_EQ(runSimulator(dir, "--out " + (dir / "bad").string() + night + spoilt, output), 0)
        << output;
    EXPECT_NE(output.find("NIGHT_0006_B.fit: cut"), std::string::npos) << output;
    const std::vector<std::string> truth = textLines(test::readFile(dir / "bad" / "truth.csv"));
    ASSERT_EQ(truth.size(), 17u);
    const std::map<int, std::string> notes = {
        {2, "saturate"}, {4, "hide-star"}, {6, "cut"}, {8, "below-horizon"}};
    for (int i = 1; i <= 9; ++i) {
        const std::string name =
            "NIGHT_000" + std::to_string(i) + "_" + "RGB"[(i - 1) % 3] + ".fit";
        const std::string& row = truth[static_cast<std::size_t>(i)];
        EXPECT_EQ(field(row, 1), name);
        const auto note = notes.find(i);
        EXPECT_EQ(field(row, 7), note == notes.end() ? "" : note->second) << row;
        const std::string bytes = test::readFile(dir / "bad" / name);
        EXPECT_EQ(bytes == test::readFile(dir / "plain" / name), note == notes.end()) << name;
    }
    EXPECT_EQ(truth[10], "NIGHT_RGB.fit,RGB," + field(truth[1], 3) + "," + field(truth[1], 4) +
                             "," + field(truth[1], 5) + ",,cube");
    EXPECT_EQ(field(truth[11], 1), "master_dark_sub.fit");
    EXPECT_EQ(field(truth[11], 7), "dark");
}

TEST(Simulator, SpoiltFramesHoldWhatMakesThemUnusable) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(runSimulator(dir,
                           "--out " + (dir / "bad").string() +
                               " --size 64x48 --frames 3 --star 30.3,20.6 --seed 7 --saturate 2"
                               " --hide-star 4 --cut 6 --below-horizon 8 --cube --dark",
                           output),
              0)
        << output;
    const auto bytes = [&](const std::string& name) { return test::readFile(dir / "bad" / name); };
    // 16-bit samples of 64 x 48 pixels: 6144 data bytes, three 2880-byte blocks after the header.
    EXPECT_EQ(bytes("NIGHT_0005_G.fit").size(), 2880u + 8640u);
    EXPECT_EQ(bytes("NIGHT_0006_B.fit").size(), 2880u + 3072u);

    const test::ReadResult saturated = test::readFitsFile(dir / "bad" / "NIGHT_0002_G.fit");
    const auto atCeiling =
        std::count(saturated.image.pixels.begin(), saturated.image.pixels.end(), 65535.0f);
    EXPECT_GE(atCeiling, 4);
    EXPECT_EQ(*std::max_element(saturated.image.pixels.begin(), saturated.image.pixels.end()),
              65535.0f);

    // The hidden star: the pixels within 6 of its place lie well below the sky, and the sum
    // above the sky in a window about it is negative.
    const test::ReadResult hidden = test::readFitsFile(dir / "bad" / "NIGHT_0004_R.fit");
    const float sky = median(test::pixelValues(hidden.image));
    EXPECT_NEAR(sky, 800.0f, 10.0f);
    // The patch is half the sky (400 ADU) deep at its centre, a Gaussian three times the star's
    // width (FWHM 9 pixels): it takes about 36700 ADU, of which the trace gives back a quarter.
    const double patchSigma = 9.0 / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    const double patch = 400.0 * 2.0 * sim::kPi * patchSigma * patchSigma;
    EXPECT_LT(windowSignal(hidden.image, 30, 21, 10, sky), -0.5 * patch);
    std::vector<float> near;
    for (int y = 15; y <= 27; ++y)
        for (int x = 24; x <= 36; ++x)
            if (std::hypot(x - 30.3, y - 20.6) >= 2.0 && std::hypot(x - 30.3, y - 20.6) <= 6.0)
                near.push_back(hidden.image.at(x, y));
    EXPECT_LT(median(near), sky - 100.0f);

    // Below the horizon: the written DATE-OBS, put through the textbook sky, gives a negative
    // elevation at the simulated site (35 N, 106.5 W) for the star at 9h05m, +34.5.
    const std::string date = cardValue(headerCard(bytes("NIGHT_0008_G.fit"), "DATE-OBS"));
    ASSERT_EQ(date.size(), 19u) << date;
    const sim::CivilTime t{std::stoi(date.substr(0, 4)),  std::stoi(date.substr(5, 2)),
                           std::stoi(date.substr(8, 2)),  std::stoi(date.substr(11, 2)),
                           std::stoi(date.substr(14, 2)), std::stoi(date.substr(17, 2))};
    const double h = sim::hourAngleDegrees(sim::julianDate(t), -106.5, 9 + 5 / 60.0);
    EXPECT_LT(sim::altitudeDegrees(35.0, 34.5, h), -10.0) << date;
    EXPECT_NE(date, cardValue(headerCard(bytes("NIGHT_0007_R.fit"), "DATE-OBS")));

    const std::string cube = bytes("NIGHT_RGB.fit");
    EXPECT_EQ(cardValue(headerCard(cube, "NAXIS")), "3");
    EXPECT_EQ(cardValue(headerCard(cube, "NAXIS3")), "3");
    EXPECT_EQ(cube.size(), 2880u + 7u * 2880u);  // 3 x 6144 bytes in whole blocks

    const std::string dark = bytes("master_dark_sub.fit");
    EXPECT_EQ(cardValue(headerCard(dark, "IMAGETYP")), "Dark Frame");
    EXPECT_EQ(cardValue(headerCard(dark, "NAXIS1")), "64");
    EXPECT_EQ(cardValue(headerCard(dark, "NAXIS2")), "48");
    EXPECT_EQ(cardValue(headerCard(dark, "DATE-OBS")).size(), 19u);
    EXPECT_NEAR(
        median(test::pixelValues(test::readFitsFile(dir / "bad" / "master_dark_sub.fit").image)),
        100.0f, 2.0f);
}

TEST(Simulator, SaturatedFloatFrameHoldsTheCeilingAndSaysSo) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(runSimulator(dir,
                           "--out " + (dir / "f").string() +
                               " --bitpix -32 --size 40x30 --frames 1 --saturate 3",
                           output),
              0)
        << output;
    const std::string bytes = test::readFile(dir / "f" / "NIGHT_0003_B.fit");
    EXPECT_EQ(numericValue(cardValue(headerCard(bytes, "SATURATE"))), 65535.0);
    EXPECT_TRUE(headerCard(test::readFile(dir / "f" / "NIGHT_0002_G.fit"), "SATURATE").empty());
    const test::ReadResult r = test::readFitsFile(dir / "f" / "NIGHT_0003_B.fit");
    EXPECT_GE(std::count(r.image.pixels.begin(), r.image.pixels.end(), 65535.0f), 4);
    EXPECT_EQ(*std::max_element(r.image.pixels.begin(), r.image.pixels.end()), 65535.0f);
}

TEST(Simulator, SpoiltFrameOptionsAreChecked) {
    test::TempDir dir;
    std::string output;
    const std::string out = "--out " + (dir / "x").string();
    EXPECT_EQ(runSimulator(dir, out + " --frames 3 --cut 10", output), 2);
    EXPECT_NE(output.find("--cut needs a frame number from 1 to 9"), std::string::npos) << output;
    EXPECT_EQ(runSimulator(dir, out + " --saturate 0", output), 2);
    EXPECT_EQ(runSimulator(dir, out + " --cut 2 --hide-star 2", output), 2);
    EXPECT_NE(output.find("frame 2 is named by two options"), std::string::npos) << output;
    // A star 80 degrees north never sets at 35 N.
    EXPECT_EQ(runSimulator(dir, out + " --dec 80,0,0 --below-horizon 2", output), 2);
    EXPECT_NE(output.find("never sets"), std::string::npos) << output;
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

TEST(Simulator, HelpAndBadOptions) {
    test::TempDir dir;
    std::string output;
    EXPECT_EQ(runSimulator(dir, "--help", output), 0);
    EXPECT_NE(output.find("Usage: orvel-simulate"), std::string::npos);
    EXPECT_EQ(runSimulator(dir, "--bitpix 12", output), 2);
    EXPECT_NE(output.find("--bitpix must be 16 or -32"), std::string::npos);
    EXPECT_EQ(runSimulator(dir, "--colour red", output), 2);
    EXPECT_NE(output.find("--colour must be cube or bayer"), std::string::npos) << output;
    EXPECT_EQ(runSimulator(dir, "--truth-airmass exact", output), 2);
    EXPECT_NE(output.find("--truth-airmass must be described or precise"), std::string::npos)
        << output;
    EXPECT_EQ(runSimulator(dir, "--frames 2 --frames 0", output), 2);
    EXPECT_NE(output.find("--frames must be at least 1"), std::string::npos) << output;
    EXPECT_EQ(runSimulator(dir, "--out " + (dir / "x").string() + " --dec -60,0,0", output), 2);
    EXPECT_NE(output.find("never rises"), std::string::npos);
}

// --help lists these options and no others, and each one it lists is known: the argument after
// it is read next (as its value, or as an unknown option), never the option itself refused.
TEST(Simulator, HelpListsExactlyTheOptionsItAccepts) {
    test::TempDir dir;
    std::string help;
    ASSERT_EQ(runSimulator(dir, "--help", help), 0);
    std::vector<std::string> listed;
    for (const std::string& line : textLines(help))
        if (line.starts_with("  --")) listed.push_back(line.substr(2, line.find(' ', 2) - 2));
    std::vector<std::string> expected = {
        "--out",           "--lat",        "--lon",           "--ra",          "--dec",
        "--date",          "--k",          "--k-end",         "--flux",        "--fwhm",
        "--sky",           "--read-noise", "--no-noise",      "--size",        "--bitpix",
        "--frames",        "--exptime",    "--min-elevation", "--star",        "--seed",
        "--truth-airmass", "--stamp",      "--seeing-power",  "--sky-end",     "--neighbour",
        "--help",          "--version",    "--names",         "--filter-card", "--colour",
        "--compress",      "--saturate",   "--hide-star",     "--cut",         "--below-horizon",
        "--cube",          "--dark",       "--hot-pixels",    "--hot-pixel",   "--cosmic-rays",
        "--cosmic-ray",    "--cloud",      "--moffat",        "--donut",       "--drift",
        "--meridian-flip", "--rotation",   "--field-stars",   "--adc-bits",    "--adc-scale"};
    expected.insert(std::find(expected.begin(), expected.end(), "--compress") + 1,
                    "--header-style");
    EXPECT_EQ(listed, expected);
    for (const std::string& option : listed) {
        std::string output;
        runSimulator(dir, option + " 1 --not-an-option", output);
        EXPECT_EQ(output.find("unknown option " + option + " ("), std::string::npos) << output;
        EXPECT_TRUE(option == "--help" || option == "--version" ||
                    output.find("unknown option ") != std::string::npos)
            << option << ": " << output;
    }
}

// Seeing growing with airmass, a sky brightening through the night and a second star: truth.csv
// gains their columns, and the noiseless pixels show them.
TEST(Simulator, SeeingSkyAndASecondStarChangeThroughTheNight) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(runSimulator(dir,
                           "--out " + (dir / "c").string() +
                               " --bitpix -32 --no-noise --size 80x60 --frames 2 --star 30.3,30.6"
                               " --sky 100 --sky-end 400 --fwhm 2.5 --seeing-power 0.6"
                               " --neighbour 16,5000 --k 0.3,0.2,0.1 --flux 1000,2000,3000",
                           output),
              0)
        << output;
    const std::vector<std::string> truth = textLines(test::readFile(dir / "c" / "truth.csv"));
    ASSERT_GE(truth.size(), 7u);
    EXPECT_EQ(truth[0],
              "file,band,ut,elevation_deg,airmass,flux_adu,note,fwhm_px,sky_adu,"
              "neighbour_flux_adu");
    const double k[3] = {0.3, 0.2, 0.1};
    for (int i = 0; i < 6; ++i) {
        const std::string& row = truth[static_cast<std::size_t>(i) + 1];
        const double airmass = numericValue(field(row, 5));
        EXPECT_NEAR(numericValue(field(row, 8)), 2.5 * std::pow(airmass, 0.6), 2e-6) << row;
        // Six moments evenly spaced: 60 ADU more each.
        EXPECT_NEAR(numericValue(field(row, 9)), 100.0 + 60.0 * i, 1e-3) << row;
        EXPECT_NEAR(numericValue(field(row, 10)), 5000.0 * std::exp(-k[i % 3] * airmass), 2e-3);
        const test::ReadResult r = test::readFitsFile(dir / "c" / field(row, 1));
        EXPECT_FLOAT_EQ(r.image.at(0, 0), static_cast<float>(numericValue(field(row, 9))));
        // The second star 16 columns right of the first; each whole within 7 pixels of its place.
        EXPECT_NEAR(windowSignal(r.image, 46, 31, 7, r.image.at(0, 0)),
                    numericValue(field(row, 10)), 0.005 * numericValue(field(row, 10)));
        EXPECT_NEAR(windowSignal(r.image, 30, 31, 7, r.image.at(0, 0)), numericValue(field(row, 6)),
                    0.005 * numericValue(field(row, 6)));
    }
    // Without these options truth.csv keeps its columns.
    ASSERT_EQ(
        runSimulator(dir, "--out " + (dir / "p").string() + " --size 40x30 --frames 1", output), 0);
    EXPECT_EQ(textLines(test::readFile(dir / "p" / "truth.csv"))[0],
              "file,band,ut,elevation_deg,airmass,flux_adu,note");
}

TEST(Simulator, LongExposuresAreWrittenAndOverlapsSaid) {
    test::TempDir dir;
    std::string output;
    ASSERT_EQ(
        runSimulator(dir, "--out " + (dir / "l").string() + " --size 40x30 --exptime 600", output),
        0)
        << output;
    EXPECT_EQ(output.find("overlap"), std::string::npos) << output;
    EXPECT_EQ(numericValue(
                  cardValue(headerCard(test::readFile(dir / "l" / "NIGHT_0030_B.fit"), "EXPTIME"))),
              600.0);
    // Forty frames per band start every 179 s or so: the exposures overlap.
    ASSERT_EQ(runSimulator(
                  dir, "--out " + (dir / "o").string() + " --size 40x30 --exptime 600 --frames 40",
                  output),
              0);
    EXPECT_NE(output.find("warning: exposures of 600 s overlap: one starts every"),
              std::string::npos)
        << output;
}

TEST(Simulator, ChangingNightOptionsAreChecked) {
    test::TempDir dir;
    std::string output;
    const std::string out = "--out " + (dir / "x").string();
    EXPECT_EQ(runSimulator(dir, out + " --seeing-power -0.5", output), 2);
    EXPECT_NE(output.find("--seeing-power must be from 0 to 3"), std::string::npos) << output;
    EXPECT_EQ(runSimulator(dir, out + " --neighbour 8", output), 2);
    EXPECT_NE(output.find("--neighbour needs DIST,FLUX"), std::string::npos) << output;
    EXPECT_EQ(runSimulator(dir, out + " --neighbour 8,-3", output), 2);
    EXPECT_NE(output.find("--neighbour needs a distance and a flux of 0 or more"),
              std::string::npos)
        << output;
    EXPECT_EQ(runSimulator(dir, out + " --sky-end", output), 2);
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
}

}  // namespace
}  // namespace orvel
