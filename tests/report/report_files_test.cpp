// The text of ORVEL_results.csv, ORVEL_fit.csv and ORVEL_weights.csv for a small night made by
// hand (test::handMadeNight), against numbers worked out by hand (the comments show how).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/scripted_console.h"
#include "report/colour_weights.h"
#include "report/results_files.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::csvColumn;
using test::logLines;

// A line fitted to three frames.
BandFit line(float intercept, float slope) {
    BandFit f;
    f.intercept = intercept;
    f.slope = slope;
    f.r2 = 1.0f;
    f.analysed = 3;
    f.files = 3;
    return f;
}

double number(const std::string& text) {
    return std::stod(text);
}

TEST(ResultsFiles, FrameRowsCarryTheMeasurementsAndTheirDistanceFromTheLine) {
    const std::string text =
        frameResultsCsv(test::handMadeNight(), describeFit(test::handMadeNight()));
    const std::vector<std::string> lines = logLines(text);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0],
              "file,band,date_obs,airmass,elevation_deg,ring_column,ring_row,inner_radius,"
              "sky_level,integrated_dc,magnitude_value,included,note,precise_airmass,"
              "precise_elevation_deg,fwhm_px,peak_dc,sky_noise_dc,signal_to_noise,"
              "ln_signal_error,residual,time_hours");
    // A formula-like name gets its apostrophe; a name with a comma is quoted.
    EXPECT_EQ(lines[1].substr(0, 92),
              "'=1+2_R.fit,R,2026-03-15T20:00:00,1,52.5,30,20,6,100.5,39100,10.03125,1,,,,3.5,2100,"
              "3,195.5,");
    EXPECT_EQ(lines[2].substr(0, 12), "\"a,b_R.fit\",");
    EXPECT_EQ(lines[8],
              "h_B.fit,B,,,,,,,,,,0,its header has no END card before the end of the "
              "file,,,,,,,,,");
    // An error of sqrt(39100 + 100 x 3^2) = 200 DC: S/N 195.5 (above), ln error 200 / 39100.
    const std::vector<std::string> error = csvColumn(text, "ln_signal_error");
    EXPECT_NEAR(number(error[0]), 200.0 / 39100.0, 1e-9);
    // Residuals from each band's line; the removed frame's too: 10 - (11 - 0.25 x 2.5).
    const std::vector<std::string> residual = csvColumn(text, "residual");
    const double expected[] = {0.03125, -0.0625, 0.03125, 0, 0, 0, -0.375};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_NEAR(number(residual[i]), expected[i], 1e-6) << i;
    EXPECT_EQ(residual[7], "");
    const std::vector<std::string> hours = csvColumn(text, "time_hours");
    EXPECT_NEAR(number(hours[0]), 0.0, 1e-6);
    EXPECT_NEAR(number(hours[2]), 2.0, 1e-6);
    EXPECT_EQ(csvColumn(text, "included")[6], "0");
    EXPECT_EQ(csvColumn(text, "note")[6], "removed");
}

TEST(ResultsFiles, BandRowsCarryKItsErrorsSignalsAndRatios) {
    const std::string text = bandResultsCsv(describeFit(test::handMadeNight()));
    const std::vector<std::string> lines = logLines(text);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "band,k,k_standard_error,intercept,r2,files,analysed,signal_at_x1_adu,"
              "signal_at_x0_adu,ratio_at_x1,ratio_at_x0,k_mag_per_airmass,k_mag_standard_error,"
              "k_propagated_error,reduced_chi2,drift_per_hour,drift_error,weighted,verdict,"
              "verdict_reasons");
    // A band whose one frame could not be read has no line: only its counts, and no verdict.
    EXPECT_EQ(lines[3], "B,,,,,1,0,,,,,,,,,,,,none,");
    // Red and green rest on three frames each, fewer than five.
    EXPECT_EQ(csvColumn(text, "verdict")[0], "doubtful");
    EXPECT_EQ(csvColumn(text, "verdict_reasons")[1], "it rests on 3 frames");
    // Red: residuals d, -2d, d (d = 1/32) about Y = 10.5 - 0.5 X at X = 1, 2, 3. Sum of
    // squares 6 d^2 over 1 degree of freedom, Sxx = 2: the error of k is d sqrt(3).
    const auto red = [&](const char* column) { return csvColumn(text, column)[0]; };
    EXPECT_EQ(red("k"), "0.5");
    EXPECT_NEAR(number(red("k_standard_error")), 0.0541265877, 1e-9);
    EXPECT_EQ(red("intercept"), "10.5");
    EXPECT_NEAR(number(red("r2")), 0.988416988, 1e-7);
    EXPECT_EQ(red("files"), "3");
    // e^10 and e^10.5; against green's e^10.75 and e^11: ratios e^-0.75 and e^-0.5.
    EXPECT_NEAR(number(red("signal_at_x1_adu")), 22026.4658, 0.01);
    EXPECT_NEAR(number(red("signal_at_x0_adu")), 36315.5027, 0.01);
    EXPECT_NEAR(number(red("ratio_at_x1")), 0.472366553, 1e-7);
    EXPECT_NEAR(number(red("ratio_at_x0")), 0.60653066, 1e-7);
    EXPECT_EQ(csvColumn(text, "ratio_at_x1")[1], "1");
    // 2.5 / ln 10 times k and its error.
    EXPECT_NEAR(number(red("k_mag_per_airmass")), 0.542868102, 1e-9);
    EXPECT_NEAR(number(red("k_mag_standard_error")), 0.0587671959, 1e-9);
    // Every point's error 0.00511509 carried by the lever arms: 0.00511509 / sqrt(Sxx), and the
    // scatter in those units: 6 d^2 / 0.00511509^2 over one degree of freedom.
    EXPECT_NEAR(number(red("k_propagated_error")), 0.00361691, 1e-8);
    EXPECT_NEAR(number(red("reduced_chi2")), 223.946, 0.01);
    // Three points give no drift; the fit is plain.
    EXPECT_EQ(red("drift_per_hour"), "");
    EXPECT_EQ(red("weighted"), "0");
    EXPECT_EQ(csvColumn(text, "k_standard_error")[1], "0");
}

// Red and blue against green, the brightest at every altitude: Y = 10.5 - 0.5 X,
// 11 - 0.25 X, 10 - 0.125 X.
// Three lines of three frames each (no frame records: each band is doubtful, resting on three
// frames).
NightRecord weightsNight() {
    NightRecord night;
    night.fits = {line(10.5f, -0.5f), line(11.0f, -0.25f), line(10.0f, -0.125f)};
    night.bandCounts = {3, 3, 3};
    return night;
}

// The row of the weights file at the altitude, as numbers.
std::vector<double> weightsRow(const std::string& text, const std::string& altitude) {
    const std::vector<std::string> altitudes = csvColumn(text, "altitude_deg");
    for (std::size_t i = 0; i < altitudes.size(); ++i) {
        if (altitudes[i] != altitude) continue;
        std::vector<double> row;
        for (const char* c : {"airmass", "weight_r", "weight_g", "weight_b"})
            row.push_back(number(csvColumn(text, c)[i]));
        return row;
    }
    return {};
}

TEST(ColourWeightsFile, UnderThePreciseAirmassTheAirmassIsPickerings) {
    const double extra[] = {33.3};
    const std::string text =
        weightsCsv(describeFit(weightsNight()), extra, FittedAirmass::pickering);
    const std::vector<std::string> lines = logLines(text);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0],
              "altitude_deg,airmass,weight_r,weight_g,weight_b,multiply_r,multiply_g,multiply_b,"
              "doubtful_bands");
    EXPECT_EQ(csvColumn(text, "doubtful_bands")[0], "RGB");
    EXPECT_EQ(csvColumn(text, "altitude_deg")[12], "33.3");
    // Pickering (2002): X = 1 / sin(h + 244 / (165 + 47 h^1.1)), h in degrees; at 30 degrees
    // 30 + 244 / (165 + 47 x 42.153) = 30.11369 degrees, X = 1.99315385; at 20 degrees
    // 20 + 244 / (165 + 47 x 26.986) = 20.17023, X = 2.90014301. The weights
    // e^(-0.5 - 0.25 X) and e^(-1 + 0.125 X), green 1.
    const std::vector<double> at30 = weightsRow(text, "30");
    ASSERT_EQ(at30.size(), 4u);
    EXPECT_NEAR(at30[0], 1.99315385, 6e-9);
    EXPECT_NEAR(at30[1], 0.36850962, 1e-8);
    EXPECT_EQ(at30[2], 1.0);
    EXPECT_NEAR(at30[3], 0.471962489, 1e-8);
    const std::vector<double> at20 = weightsRow(text, "20");
    ASSERT_EQ(at20.size(), 4u);
    EXPECT_NEAR(at20[0], 2.90014301, 6e-9);
    EXPECT_NEAR(at20[1], 0.293747198, 1e-8);
    EXPECT_NEAR(at20[3], 0.528621754, 1e-8);
    // The console's rows take the same airmass.
    ScriptedConsole console;
    showWeights(describeFit(weightsNight()), extra, FittedAirmass::pickering, console);
    EXPECT_NE(
        console.transcript().find("   30.0 deg  X = 1.9932   R 0.3685*  G 1.0000*  B 0.4720*   x "
                                  "R 1.0000*  G 0.3685*  B 0.7808*\n"),
        std::string::npos)
        << console.transcript();
    EXPECT_NE(console.transcript().find("(* a doubtful band's weight: see its verdict)"),
              std::string::npos);
}

// A band without a line has no weight: empty in the file, a dash on the console, and the others
// are taken relative to the largest band that has one.
TEST(ColourWeightsFile, ABandWithoutALineHasNoWeight) {
    NightRecord night = weightsNight();
    night.fits[2] = BandFit{};
    night.fits[2].files = 1;
    night.fits[2].analysed = 1;
    night.bandCounts = {3, 3, 1};
    const NightFit fit = describeFit(night);
    const std::string text = weightsCsv(fit, {}, FittedAirmass::hardie);
    for (const std::string& w : csvColumn(text, "weight_b")) EXPECT_EQ(w, "");
    // At the zenith: red e^10 against green e^10.75, e^-0.75 = 0.472366553.
    ASSERT_EQ(csvColumn(text, "altitude_deg")[0], "90");
    EXPECT_NEAR(number(csvColumn(text, "weight_r")[0]), 0.472366553, 1e-8);
    EXPECT_EQ(csvColumn(text, "weight_g")[0], "1");
    ScriptedConsole console;
    showWeights(fit, {}, FittedAirmass::hardie, console);
    EXPECT_NE(
        console.transcript().find("   90.0 deg  X = 1.0000   R 0.4724*  G 1.0000*  B \u2013   x "
                                  "R 1.0000*  G 0.4724*  B \u2013\n"),
        std::string::npos)
        << console.transcript();
}

// The row's factors for white, as numbers.
std::vector<double> factorsRow(const std::string& text, const std::string& altitude) {
    const std::vector<std::string> altitudes = csvColumn(text, "altitude_deg");
    for (std::size_t i = 0; i < altitudes.size(); ++i) {
        if (altitudes[i] != altitude) continue;
        std::vector<double> row;
        for (const char* c : {"multiply_r", "multiply_g", "multiply_b"})
            row.push_back(number(csvColumn(text, c)[i]));
        return row;
    }
    return {};
}

TEST(ColourWeightsFile, TheFactorsForWhiteLiftNothingAndEvenTheBands) {
    const double extra[] = {33.3};
    const std::string text =
        weightsCsv(describeFit(weightsNight()), extra, FittedAirmass::pickering);
    // At 30 degrees (X = 1.99315385) red is the weakest: its factor 1, green's the red signal
    // e^(-0.5 - 0.25 X) = 0.36850962, blue's red / blue = e^(0.5 - 0.375 X) = 0.78080277.
    const std::vector<double> at30 = factorsRow(text, "30");
    ASSERT_EQ(at30.size(), 3u);
    EXPECT_EQ(at30[0], 1.0);
    EXPECT_NEAR(at30[1], 0.36850962, 1e-8);
    EXPECT_NEAR(at30[2], 0.78080277, 1e-8);
    // The same on the console, with the line that says what the factors balance.
    ScriptedConsole console;
    showWeights(describeFit(weightsNight()), extra, FittedAirmass::pickering, console);
    const std::string shown = console.transcript();
    EXPECT_NE(shown.find("   30.0 deg  X = 1.9932   R 0.3685*  G 1.0000*  B 0.4720*   x R 1.0000*  "
                         "G 0.3685*  B 0.7808*\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("multiply each channel by so that it comes out white (largest factor = "
                         "1)\n"),
              std::string::npos);
    EXPECT_NE(shown.find("measured on a solar-type (G2V) star they are the white balance"),
              std::string::npos);
}

TEST(ColourWeightsFile, ABandWithoutSignalHasNoFactor) {
    // Blue with no line: red e^-0.75 = 0.47236655 of green is the weakest band with signal.
    const std::array<double, 3> f = whiteBalanceFactors({0.47236655, 1.0, 0.0});
    EXPECT_EQ(f[0], 1.0);
    EXPECT_NEAR(f[1], 0.47236655, 1e-12);
    EXPECT_TRUE(std::isnan(f[2]));
}

TEST(ColourWeightsFile, OtherwiseTheAirmassIsHardies) {
    const std::string text = weightsCsv(describeFit(weightsNight()), {}, FittedAirmass::hardie);
    EXPECT_EQ(logLines(text).size(), 16u);
    // sec z = 2 at 30 degrees: 2 - 0.0018167 - 0.002875 - 0.000808 = 1.9945003, worked in
    // 32 bits as the frames' airmass is.
    const std::vector<double> at30 = weightsRow(text, "30");
    ASSERT_EQ(at30.size(), 4u);
    EXPECT_NEAR(at30[0], 1.9945003, 5e-7);
    EXPECT_NEAR(at30[1], 0.3683856, 2e-7);
    // At the zenith the weights are the ratios at airmass 1: e^-0.75 and e^-0.875.
    const std::vector<double> at90 = weightsRow(text, "90");
    ASSERT_EQ(at90.size(), 4u);
    EXPECT_EQ(at90[0], 1.0);
    EXPECT_NEAR(at90[1], 0.472366553, 1e-8);
    EXPECT_NEAR(at90[3], 0.416862020, 1e-8);
}

}  // namespace
}  // namespace orvel
