#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run/options.h"

namespace orvel {
namespace {

const std::vector<std::string_view> kAnswers = {"--lat",  "35,0,0",  "--lon",        "-106,30,0",
                                                "--ra",   "9,5,0",   "--dec",        "34,30,0",
                                                "--star", "352,217", "--background", "60,60"};

CommandLine parse(std::vector<std::string_view> more, bool answers = true) {
    std::vector<std::string_view> args = answers ? kAnswers : std::vector<std::string_view>{};
    args.insert(args.end(), more.begin(), more.end());
    return parseCommandLine(args);
}

TEST(MeasuringOptions, WithoutThemTheDescribedAirmassIsFitted) {
    const CommandLine c = parse({});
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    EXPECT_FALSE(c.options.run.preciseAirmass);
    EXPECT_FALSE(parse({"--airmass", "described"}).options.run.preciseAirmass);
}

TEST(MeasuringOptions, PreciseAirmassHasItsDefaults) {
    const CommandLine c = parse({"--airmass", "precise"});
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    ASSERT_TRUE(c.options.run.preciseAirmass);
    const PreciseAirmassSettings& s = *c.options.run.preciseAirmass;
    EXPECT_EQ(s.equinox, Equinox::j2000);
    EXPECT_EQ(s.stamp, TimeReference::start);
    EXPECT_DOUBLE_EQ(s.pressureHpa, 1013.25);
    EXPECT_DOUBLE_EQ(s.temperatureC, 10.0);
}

TEST(MeasuringOptions, EverySettingIsRead) {
    const CommandLine c = parse({"--airmass=precise", "--equinox", "date", "--time-ref", "end",
                                 "--pressure", "780.5", "--temperature=-12"});
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    const PreciseAirmassSettings& s = *c.options.run.preciseAirmass;
    EXPECT_EQ(s.equinox, Equinox::ofDate);
    EXPECT_EQ(s.stamp, TimeReference::end);
    EXPECT_DOUBLE_EQ(s.pressureHpa, 780.5);
    EXPECT_DOUBLE_EQ(s.temperatureC, -12.0);
    EXPECT_EQ(
        parse({"--airmass", "precise", "--time-ref", "mid"}).options.run.preciseAirmass->stamp,
        TimeReference::middle);
    EXPECT_DOUBLE_EQ(parse({"--airmass", "precise", "--pressure", "off"})
                         .options.run.preciseAirmass->pressureHpa,
                     0.0);
}

TEST(MeasuringOptions, TheyKeepARunInteractive) {
    const CommandLine c = parse({"--airmass", "precise", "--equinox", "J2000"}, false);
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    EXPECT_TRUE(c.options.run.preciseAirmass);
}

TEST(MeasuringOptions, NoiseWeightingAndRejectionAreRead) {
    const CommandLine plain = parse({"--airmass", "precise"}, false);
    EXPECT_FALSE(plain.options.run.fitting.weighted);
    EXPECT_EQ(plain.options.run.fitting.detector.gain, 1.0);
    EXPECT_EQ(plain.options.run.fitting.detector.readNoise, 0.0);
    EXPECT_FALSE(plain.options.run.rejectLimit);
    // --weighted takes no value: the option after it is read as an option.
    const CommandLine c = parse(
        {"--weighted", "--gain", "1.6", "--read-noise=9.5", "--reject", "4", "--plot-y", "mag"},
        false);
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    EXPECT_TRUE(c.options.run.fitting.weighted);
    EXPECT_EQ(c.options.run.fitting.detector.gain, 1.6);
    EXPECT_EQ(c.options.run.fitting.detector.readNoise, 9.5);
    EXPECT_EQ(c.options.run.rejectLimit, 4.0);
    EXPECT_TRUE(c.options.run.plotMagnitudes);
}

TEST(MeasuringOptions, BadValuesAreNamed) {
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
        {{"--airmass", "exact"}, "option --airmass 'exact' is not described or precise"},
        {{"--airmass", "precise", "--equinox", "B1950"},
         "option --equinox 'B1950' is not J2000 or date"},
        {{"--airmass", "precise", "--time-ref", "middle"},
         "option --time-ref 'middle' is not start, mid or end"},
        {{"--airmass", "precise", "--pressure", "-1"},
         "option --pressure '-1' is not a pressure of 0 to 1200 hPa or off"},
        {{"--airmass", "precise", "--pressure", "1013hPa"},
         "option --pressure '1013hPa' is not a pressure of 0 to 1200 hPa or off"},
        {{"--airmass", "precise", "--temperature", "99"},
         "option --temperature '99' is not a temperature of -80 to 60 C"},
        {{"--equinox", "J2000"}, "option --equinox needs --airmass precise"},
        {{"--airmass", "described", "--pressure", "900"},
         "option --pressure needs --airmass precise"},
        {{"--airmass", "precise", "--airmass", "precise"}, "option --airmass is given twice"},
        {{"--gain", "0"}, "option --gain '0' is not a gain above 0 electrons per ADU"},
        {{"--gain", "1.5e"}, "option --gain '1.5e' is not a gain above 0 electrons per ADU"},
        {{"--read-noise", "-2"},
         "option --read-noise '-2' is not a read noise of 0 or more electrons"},
        {{"--reject", "0.5"}, "option --reject '0.5' is not a number of deviations of 1 or more"},
        {{"--weighted=yes"}, "option --weighted takes no value"},
        {{"--weighted", "--weighted"}, "option --weighted is given twice"},
    };
    for (const auto& [args, message] : cases) {
        const CommandLine c = parse(args);
        EXPECT_EQ(c.mode, CommandLine::Mode::error) << message;
        EXPECT_EQ(c.error, message);
    }
}

TEST(MeasuringOptions, HelpNamesThem) {
    const std::string help = helpText();
    for (const char* option :
         {"--airmass", "--equinox", "--time-ref", "--pressure", "--temperature", "Pickering",
          "--gain", "--read-noise", "--weighted", "--reject", "--help", "Example:"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(ApertureOptions, WithoutThemTheRingsGrow) {
    const CommandLine c = parse({});
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    EXPECT_EQ(c.options.run.aperture.rule, ApertureRule::grow);
    EXPECT_FALSE(c.options.run.aperture.annulus);
    EXPECT_EQ(parse({"--aperture", "grow"}).options.run.aperture.rule, ApertureRule::grow);
}

TEST(ApertureOptions, AutoARadiusAndAnAnnulusAreRead) {
    const CommandLine automatic = parse({"--aperture", "auto"});
    ASSERT_EQ(automatic.mode, CommandLine::Mode::batch) << automatic.error;
    EXPECT_EQ(automatic.options.run.aperture.rule, ApertureRule::automatic);
    const CommandLine fixed = parse({"--aperture=7.5", "--annulus", "10,22.5"});
    ASSERT_EQ(fixed.mode, CommandLine::Mode::batch) << fixed.error;
    const ApertureSettings& a = fixed.options.run.aperture;
    EXPECT_EQ(a.rule, ApertureRule::fixed);
    EXPECT_DOUBLE_EQ(a.radius, 7.5);
    ASSERT_TRUE(a.annulus);
    EXPECT_DOUBLE_EQ(a.annulus->first, 10.0);
    EXPECT_DOUBLE_EQ(a.annulus->second, 22.5);
    // The annulus may start right at the radius.
    EXPECT_EQ(parse({"--aperture", "8", "--annulus", "8,12"}).mode, CommandLine::Mode::batch);
    EXPECT_EQ(parse({"--aperture", "auto", "--annulus", "0,12"}).mode, CommandLine::Mode::batch);
}

TEST(ApertureOptions, TheyKeepARunInteractive) {
    const CommandLine c = parse({"--aperture", "auto", "--annulus", "15,30"}, false);
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    EXPECT_EQ(c.options.run.aperture.rule, ApertureRule::automatic);
    EXPECT_TRUE(c.options.run.aperture.annulus);
}

TEST(ApertureOptions, BadValuesAreNamed) {
    const std::string notAperture = "is not grow, auto or a radius above 0 and up to 1000 pixels";
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
        {{"--aperture", "big"}, "option --aperture 'big' " + notAperture},
        {{"--aperture", "0"}, "option --aperture '0' " + notAperture},
        {{"--aperture", "-4"}, "option --aperture '-4' " + notAperture},
        {{"--aperture", "1001"}, "option --aperture '1001' " + notAperture},
        {{"--aperture", "8px"}, "option --aperture '8px' " + notAperture},
        {{"--aperture", "Auto"}, "option --aperture 'Auto' " + notAperture},
        {{"--annulus", "10,20"}, "option --annulus needs --aperture auto or RADIUS"},
        {{"--aperture", "grow", "--annulus", "10,20"},
         "option --annulus needs --aperture auto or RADIUS"},
        {{"--aperture", "auto", "--annulus", "10"},
         "option --annulus '10' is not of the form INNER,OUTER (pixels)"},
        {{"--aperture", "auto", "--annulus", "10,x"},
         "option --annulus '10,x' is not of the form INNER,OUTER (pixels)"},
        {{"--aperture", "auto", "--annulus", "20,10"},
         "option --annulus '20,10' needs 0 <= INNER < OUTER <= 1000 pixels"},
        {{"--aperture", "auto", "--annulus", "10,10"},
         "option --annulus '10,10' needs 0 <= INNER < OUTER <= 1000 pixels"},
        {{"--aperture", "auto", "--annulus", "-1,10"},
         "option --annulus '-1,10' needs 0 <= INNER < OUTER <= 1000 pixels"},
        {{"--aperture", "auto", "--annulus", "10,1000.5"},
         "option --annulus '10,1000.5' needs 0 <= INNER < OUTER <= 1000 pixels"},
        {{"--aperture", "8", "--annulus", "7.9,20"},
         "option --annulus '7.9,20' starts inside the aperture's radius"},
        {{"--aperture", "auto", "--aperture", "5"}, "option --aperture is given twice"},
        {{"--aperture"}, "option --aperture needs a value"},
    };
    for (const auto& [args, message] : cases) {
        const CommandLine c = parse(args);
        EXPECT_EQ(c.mode, CommandLine::Mode::error) << message;
        EXPECT_EQ(c.error, message);
    }
}

TEST(ApertureOptions, HelpNamesThem) {
    const std::string help = helpText();
    for (const char* text : {"--aperture grow|auto|RADIUS", "--annulus INNER,OUTER", "median FWHM"})
        EXPECT_NE(help.find(text), std::string::npos) << text;
}

}  // namespace
}  // namespace orvel
