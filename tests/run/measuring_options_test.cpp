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

}  // namespace
}  // namespace orvel
