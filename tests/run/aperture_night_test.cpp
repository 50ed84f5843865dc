// One aperture for the night and the star's quality columns, through whole runs over simulated
// nights: the results CSV against the simulator's truth and numbers worked by hand, the log's
// aperture line and ring lines, both flows alike.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> fieldsOf(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, ',');) fields.push_back(f);
    if (!line.empty() && line.back() == ',') fields.emplace_back();
    return fields;
}

// The rows of a CSV file as column name to value (no quoted fields in these nights).
std::vector<std::map<std::string, std::string>> csvRows(const std::filesystem::path& path) {
    const std::vector<std::string> lines = logLines(readFile(path));
    std::vector<std::map<std::string, std::string>> rows;
    const std::vector<std::string> names = fieldsOf(lines.at(0));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> values = fieldsOf(lines[i]);
        std::map<std::string, std::string>& row = rows.emplace_back();
        for (std::size_t c = 0; c < names.size() && c < values.size(); ++c)
            row[names[c]] = values[c];
    }
    return rows;
}

// truth.csv's frame rows and its k per band.
struct Truth {
    std::vector<std::map<std::string, std::string>> frames;
    std::map<std::string, double> k;
};

Truth readTruth(const std::filesystem::path& path) {
    Truth t;
    std::stringstream text(readFile(path));
    std::vector<std::string> names;
    bool bands = false;
    for (std::string line; std::getline(text, line);) {
        if (line.empty()) continue;
        const std::vector<std::string> f = fieldsOf(line);
        if (line.starts_with("band,k")) bands = true;
        if (line.starts_with("file,") || line.starts_with("band,k")) {
            names = f;
            continue;
        }
        if (bands) {
            t.k[f[0]] = std::stod(f[1]);
            continue;
        }
        auto& row = t.frames.emplace_back();
        for (std::size_t c = 0; c < names.size() && c < f.size(); ++c) row[names[c]] = f[c];
    }
    return t;
}

// A night of orvel-simulate (frames of 160 x 120, the star at 80.3, 60.6) and an unattended
// run over it with the given options; the run's exit status.
int simulateAndRun(const TempDir& dir, const std::string& simulator,
                   const std::vector<std::string>& options, std::string* transcript = nullptr) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                dir.path().string() + " --size 160x120 --star 80.3,60.6 " +
                                simulator + " > " + (dir / "typed.txt").string();
    if (std::system(command.c_str()) != 0) return -1;
    std::vector<std::string> args = {
        "--lat",   "35,0,0", "--lon", "-106,30,0",    "--ra",  "9,5,0", "--dec",
        "34,30,0", "--star", "80,61", "--background", "20,20", "--dir", dir.path().string()};
    args.insert(args.end(), options.begin(), options.end());
    const std::vector<std::string_view> views(args.begin(), args.end());
    const CommandLine c = parseCommandLine(views);
    if (c.mode != CommandLine::Mode::batch) return -2;
    ScriptedConsole console;
    const int status = runBatch(c.options, console);
    if (transcript != nullptr) *transcript = console.transcript();
    return status;
}

double number(const std::map<std::string, std::string>& row, const std::string& name) {
    return std::stod(row.at(name));
}

// Share of a unit Gaussian of the given FWHM centred at c that falls in pixel i.
double pixelShare(int i, double c, double fwhm) {
    const double s = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));
    return 0.5 * (std::erf((i + 0.5 - c) / (s * std::sqrt(2.0))) -
                  std::erf((i - 0.5 - c) / (s * std::sqrt(2.0))));
}

TEST(ApertureNight, TheResultsGiveWidthPeakSkyNoiseAndSignalToNoise) {
    TempDir dir;
    ASSERT_EQ(simulateAndRun(dir, "--no-noise --bitpix -32 --fwhm 4 --frames 2",
                             {"--aperture", "12", "--annulus", "20,30"}),
              0);
    const std::vector<std::string> lines = logLines(readFile(dir / "ORVEL_results.csv"));
    EXPECT_NE(lines[0].find(",note,precise_airmass,precise_elevation_deg,fwhm_px,peak_dc,"
                            "sky_noise_dc,signal_to_noise,"),
              std::string::npos);
    const Truth truth = readTruth(dir / "truth.csv");
    const auto rows = csvRows(dir / "ORVEL_results.csv");
    ASSERT_EQ(rows.size(), 6u);
    for (const auto& row : rows) {
        // The simulator's width, and the brightest pixel (80, 61) of a star at (80.3, 60.6)
        // over the sky of 800.
        EXPECT_NEAR(number(row, "fwhm_px"), 4.0, 0.01) << row.at("file");
        double starFlux = 0.0;
        for (const auto& t : truth.frames)
            if (t.at("file") == row.at("file")) starFlux = std::stod(t.at("flux_adu"));
        EXPECT_NEAR(number(row, "peak_dc"),
                    800.0 + starFlux * pixelShare(80, 80.3, 4.0) * pixelShare(61, 60.6, 4.0), 0.01)
            << row.at("file");
        // A sky without noise: the ratio is the star's photons alone, sqrt(signal).
        EXPECT_EQ(row.at("sky_noise_dc"), "0");
        EXPECT_NEAR(number(row, "signal_to_noise"), std::sqrt(number(row, "integrated_dc")),
                    1e-5 * number(row, "signal_to_noise"));
        // Twelve pixels is seven sigma: the whole star.
        EXPECT_NEAR(number(row, "integrated_dc"), starFlux, 1e-4 * starFlux);
        EXPECT_EQ(row.at("inner_radius"), "12");
    }
}

TEST(ApertureNight, TheSignalToNoiseIsTheFormulaOfTheRowsOwnNumbers) {
    TempDir dir;
    ASSERT_EQ(simulateAndRun(dir, "--frames 2 --seed 3", {"--aperture", "5", "--annulus", "10,14"}),
              0);
    for (const auto& row : csvRows(dir / "ORVEL_results.csv")) {
        // 81 pixels within 5 of the centre, 296 with 10 < d <= 14 (the described geometry),
        // gain 1: S/N = I / sqrt(I + 81 s^2 (1 + 81 pi / 592)).
        const double signal = number(row, "integrated_dc");
        const double noise = number(row, "sky_noise_dc");
        EXPECT_GT(noise, 20.0);
        const double expected =
            signal / std::sqrt(signal + 81.0 * noise * noise * (1.0 + 81.0 * M_PI / 592.0));
        EXPECT_NEAR(number(row, "signal_to_noise"), expected, 1e-6 * expected) << row.at("file");
    }
}

TEST(ApertureNight, WithoutAnApertureTheLogIsTheDescribedOne) {
    TempDir dir;
    ASSERT_EQ(simulateAndRun(dir, "--frames 2", {}), 0);
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_EQ(log.find("Aperture"), std::string::npos);
    EXPECT_EQ(log.find("Sky annulus"), std::string::npos);
    // The quality columns are there all the same.
    EXPECT_NEAR(number(csvRows(dir / "ORVEL_results.csv").at(0), "fwhm_px"), 3.0, 0.1);
}

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(ApertureNight, AFixedApertureIsNamedOnceAndEveryFrameShowsItsProfile) {
    TempDir dir;
    ASSERT_EQ(simulateAndRun(dir, "--frames 2", {"--aperture", "5", "--annulus", "10,14"}), 0);
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_EQ(countOf(log, "Aperture = "), 1u);
    EXPECT_EQ(countOf(log, "\r\nAperture = fixed: radius 5 px; sky annulus 10 to 14 px\r\n"), 1u);
    // Named after the picks, before the first frame's background.
    EXPECT_LT(log.find("Aperture = "), log.find("Data for rings:"));
    EXPECT_GT(log.find("Aperture = "), log.find("Initial target star position:"));
    EXPECT_EQ(countOf(log, "Inner ring radius =  5 \r\n"), 6u);
    EXPECT_EQ(countOf(log, "Outer ring radius =  14 \r\n"), 6u);
    EXPECT_EQ(countOf(log, "Sky annulus inner radius =  10 \r\n"), 6u);
    EXPECT_EQ(countOf(log, "Number of pixels in outer ring =  296 \r\n"), 6u);
    // Rings 1 to 5 of every frame.
    EXPECT_EQ(countOf(log, "  Ring # "), 30u);
    EXPECT_EQ(countOf(log, "  Ring #  6 "), 0u);
}

// The radius in the log's aperture line.
double loggedRadius(const std::string& log) {
    const std::string label = ": radius ";
    const std::size_t at = log.find(label, log.find("Aperture = "));
    return std::stod(log.substr(at + label.size()));
}

TEST(ApertureNight, AutoTakesThreeTimesTheMedianWidth) {
    TempDir dir;
    ASSERT_EQ(
        simulateAndRun(dir, "--no-noise --bitpix -32 --fwhm 4 --frames 3", {"--aperture", "auto"}),
        0);
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_EQ(countOf(log, "Aperture = auto (3 x the median FWHM): radius "), 1u);
    EXPECT_NE(log.find("; median FWHM 4.00"), std::string::npos);
    EXPECT_NE(log.find(" px of 9 frames"), std::string::npos);
    EXPECT_NEAR(loggedRadius(log), 12.0, 0.01);
    for (const auto& row : csvRows(dir / "ORVEL_results.csv"))
        EXPECT_NEAR(number(row, "inner_radius"), loggedRadius(log), 0.001);
}

TEST(ApertureNight, ANeighbourIsTakenInWholeAsTheSeeingGrows) {
    // Seeing from 3 px at the meridian to 5.7 px, a second star 8 px away with half the red
    // flux: a fixed 9 px aperture holds less of it as the seeing grows, and k comes out too
    // large; the automatic one takes it in whole.
    const std::string night =
        "--no-noise --bitpix -32 --frames 6 --seeing-power 0.6 --neighbour "
        "8,100000";
    TempDir fixedDir, autoDir;
    std::string console;
    ASSERT_EQ(simulateAndRun(fixedDir, night, {"--aperture", "9"}, &console), 0);
    EXPECT_NE(console.find("Warning: another star's light reaches into the fixed aperture; its "
                           "share changes with the seeing."),
              std::string::npos);
    ASSERT_EQ(simulateAndRun(autoDir, night, {"--aperture", "auto"}), 0);
    const Truth truth = readTruth(autoDir / "truth.csv");
    const std::string log = readFile(autoDir / "ORVEL_LOG.txt");
    EXPECT_NE(log.find("; 1 other star taken into the aperture"), std::string::npos);
    // 8 px and three median FWHM beyond.
    EXPECT_GT(loggedRadius(log), 8.0 + 3 * 3.0);
    for (const auto& row : csvRows(autoDir / "ORVEL_fit.csv"))
        EXPECT_NEAR(number(row, "k"), truth.k.at(row.at("band")), 0.001) << row.at("band");
    for (const auto& row : csvRows(fixedDir / "ORVEL_fit.csv"))
        EXPECT_GT(number(row, "k") - truth.k.at(row.at("band")), 0.01) << row.at("band");
    EXPECT_NE(readFile(fixedDir / "ORVEL_LOG.txt")
                  .find("; 1 other star's light reaches into the aperture; 1 other star left "
                        "out of the annulus"),
              std::string::npos);
}

TEST(ApertureNight, ARawColourMosaicIsMeasuredInItsSuperPixels) {
    // A colour camera's RGGB mosaic: the width is fitted and the aperture chosen on each band's
    // super-pixels (2 x 2 frame pixels), a FWHM of 3 frame pixels about 1.5 of them.
    TempDir dir;
    ASSERT_EQ(simulateAndRun(dir, "--colour bayer --names light --frames 3 --seed 2",
                             {"--frames", "*.fits", "--aperture", "auto"}),
              0);
    EXPECT_EQ(countOf(readFile(dir / "ORVEL_LOG.txt"), "Aperture = auto"), 1u);
    const auto rows = csvRows(dir / "ORVEL_results.csv");
    ASSERT_EQ(rows.size(), 9u);
    for (const auto& row : rows) {
        EXPECT_EQ(row.at("included"), "1") << row.at("file");
        EXPECT_NEAR(number(row, "fwhm_px"), 1.5, 0.3) << row.at("file");
    }
}

TEST(ApertureNight, ExposuresOfTenMinutesAreMeasuredAsShortOnes) {
    // 600 s exposures with the truth taken at their middle: the precise airmass at mid-exposure
    // and the automatic aperture give k within its noise.
    TempDir dir;
    ASSERT_EQ(simulateAndRun(dir, "--exptime 600 --truth-airmass precise --seed 4",
                             {"--airmass", "precise", "--aperture", "auto"}),
              0);
    const Truth truth = readTruth(dir / "truth.csv");
    for (const auto& row : csvRows(dir / "ORVEL_fit.csv")) {
        EXPECT_EQ(row.at("analysed"), "10");
        EXPECT_NEAR(number(row, "k"), truth.k.at(row.at("band")),
                    4 * number(row, "k_standard_error"))
            << row.at("band");
    }
}

TEST(ApertureNight, WithoutAStarWidthTheRingsGrowAndTheUserIsTold) {
    // Frames of a flat sky: no width to fit on any of them.
    TempDir dir;
    test::FrameRecipe flat;
    flat.starPeak = 0.0;
    for (const char* name : {"n_0001_R.fit", "n_0002_G.fit", "n_0003_B.fit"})
        test::writeFrame(dir / name, flat);
    BatchOptions o = test::smallNightOptions(dir.path());
    o.run.aperture.rule = ApertureRule::automatic;
    ScriptedConsole console;
    runBatch(o, console);
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_NE(log.find("\r\nAperture = auto: no frame gave the star's width; the rings grow\r\n"),
              std::string::npos);
    EXPECT_NE(console.transcript().find("Warning: no frame gave the star's width; the rings grow "
                                        "about each frame's star"),
              std::string::npos);
    EXPECT_EQ(countOf(log, "Sky annulus inner radius"), 0u);
}

TEST(ApertureNight, AnAnnulusInsideTheAutomaticApertureIsWarnedOf) {
    TempDir dir;
    test::writeSmallNight(dir);
    BatchOptions o = test::smallNightOptions(dir.path());
    o.run.aperture.rule = ApertureRule::automatic;
    o.run.aperture.annulus = std::make_pair(2.0, 20.0);
    ScriptedConsole console;
    ASSERT_EQ(runBatch(o, console), 0);
    EXPECT_NE(console.transcript().find("Warning: the sky annulus given starts inside the "
                                        "aperture chosen; its sky level holds the star's light."),
              std::string::npos);
    EXPECT_EQ(countOf(readFile(dir / "ORVEL_LOG.txt"), "Sky annulus inner radius =  2 \r\n"), 9u);
}

TEST(ApertureNight, BothFlowsMeasureWithTheSameAperture) {
    TempDir interactive;
    TempDir unattended;
    ApertureSettings automatic;
    automatic.rule = ApertureRule::automatic;

    RunOptions options;
    options.aperture = automatic;
    ASSERT_EQ(test::runSmallNightBothWays(unattended, interactive, options), std::make_pair(0, 0));

    for (const TempDir* dir : {&interactive, &unattended})
        EXPECT_EQ(countOf(readFile(*dir / "ORVEL_LOG.txt"), "Aperture = auto"), 1u);
    EXPECT_EQ(readFile(interactive / "ORVEL_results.csv"),
              readFile(unattended / "ORVEL_results.csv"));
    EXPECT_EQ(readFile(interactive / "ORVEL_fit.csv"), readFile(unattended / "ORVEL_fit.csv"));
}

}  // namespace
}  // namespace orvel
