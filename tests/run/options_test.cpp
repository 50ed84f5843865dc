#include "run/options.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/test_support.h"

namespace orvel {
namespace {

CommandLine parse(std::vector<std::string_view> args) {
    return parseCommandLine(args);
}

const std::vector<std::string_view> kComplete = {
    "--lat",    "-33,52,7", "--lon=151,12,30", "--ra",         "5,55,10", "--dec",
    "-7,24,25", "--star",   "312,240",         "--background", "100.5,99"};

std::vector<std::string_view> complete(std::vector<std::string_view> more = {}) {
    std::vector<std::string_view> args = kComplete;
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(Options, NoArgumentsIsTheInteractiveProgram) {
    EXPECT_EQ(parse({}).mode, CommandLine::Mode::interactive);
    EXPECT_EQ(parse({"--help"}).mode, CommandLine::Mode::help);
    EXPECT_EQ(parse({"--lat", "1,2,3", "--version"}).mode, CommandLine::Mode::version);
}

TEST(Options, OptionsWithoutAnswersOrClicksKeepTheRunInteractive) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const CommandLine c = parse({"--dir", folder});
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    EXPECT_EQ(c.options.run.folder, dir.path());
}

TEST(Options, ACompleteSetRunsUnattended) {
    test::TempDir dir;
    const std::string folder = dir.path().string();
    const CommandLine c = parse(
        complete({"--remove", "a_R.fit", "--remove=b_G.fit", "--graph", "g.png", "--dir", folder}));
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    EXPECT_EQ(c.options.latitude, "-33,52,7");
    EXPECT_EQ(c.options.longitude, "151,12,30");
    EXPECT_EQ(c.options.declination, "-7,24,25");
    EXPECT_EQ(c.options.starColumn, 312.0f);
    EXPECT_EQ(c.options.starRow, 240.0f);
    EXPECT_EQ(c.options.backgroundColumn, 100.5f);
    EXPECT_EQ(c.options.edits, (std::vector<FrameNameEdit>{{"a_R.fit"}, {"b_G.fit"}}));
    EXPECT_EQ(c.options.graphFile->string(), "g.png");
    EXPECT_EQ(c.options.run.folder, dir.path());
    EXPECT_EQ(parse(complete()).options.run.folder, ".");
}

TEST(Options, MissingAndMalformedOptionsAreNamed) {
    const auto error = [](std::vector<std::string_view> args) {
        const CommandLine c = parseCommandLine(args);
        EXPECT_EQ(c.mode, CommandLine::Mode::error);
        return c.error;
    };
    // The coordinates may come from the frames: the picks are what an unattended run needs.
    EXPECT_EQ(error({"--lat", "1,2,3"}), "option --star is missing");
    EXPECT_EQ(error({"--star", "1,2"}), "option --background is missing");
    EXPECT_EQ(error({"--remove", "a_R.fit"}), "option --star is missing");
    EXPECT_EQ(error(complete({"--frobnicate"})), "unknown option --frobnicate (see --help)");
    EXPECT_EQ(error(complete({"extra"})), "unknown option extra (see --help)");
    EXPECT_EQ(error(complete({"--graph"})), "option --graph needs a value");
    EXPECT_EQ(error(complete({"--lat", "1,2,3"})), "option --lat is given twice");
    EXPECT_EQ(error(complete({"--dir", "/nonexistent/orvel"})),
              "option --dir '/nonexistent/orvel' is not a folder");
    EXPECT_EQ(error(complete({"--remove", ""})), "option --remove needs a frame name");
    std::vector<std::string_view> args = complete();
    args[1] = "33 52 7";
    EXPECT_EQ(error(args), "option --lat '33 52 7' is not of the form D,M,S");
    args[1] = "1,2,3,4";
    EXPECT_EQ(error(args), "option --lat '1,2,3,4' is not of the form D,M,S");
    args = complete();
    args[8] = "312";
    EXPECT_EQ(error(args), "option --star '312' is not of the form COL,ROW");
    args[8] = "x,1";
    EXPECT_EQ(error(args), "option --star 'x,1' is not of the form COL,ROW");
    // Numbers are those a typed answer accepts, whole: no C hexadecimal, no trailing letters.
    args[8] = "0x40,10";
    EXPECT_EQ(error(args), "option --star '0x40,10' is not of the form COL,ROW");
    args[8] = "1e,10";
    EXPECT_EQ(error(args), "option --star '1e,10' is not of the form COL,ROW");
    args[8] = "1e999,10";
    EXPECT_EQ(error(args), "option --star '1e999,10' is not of the form COL,ROW");
}

// The picks of an interactive run given again: every click in order (the last taken) and the
// picture's reduction; the interactive run's own options kept as given for its repeat.
TEST(Options, PicksTurnedDownAndTheScreenFactorAreRead) {
    const CommandLine c =
        parse(complete({"--star", "10,20", "--background", "7,8", "--screen-factor", "3"}));
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    EXPECT_EQ(c.options.starColumn, 10.0f);
    EXPECT_EQ(c.options.starRow, 20.0f);
    using Picks = std::vector<std::pair<float, float>>;
    EXPECT_EQ(c.options.starPicks, (Picks{{312.0f, 240.0f}, {10.0f, 20.0f}}));
    EXPECT_EQ(c.options.backgroundPicks, (Picks{{100.5f, 99.0f}, {7.0f, 8.0f}}));
    EXPECT_EQ(c.options.screenFactor, 3);
    EXPECT_EQ(parse(complete()).options.screenFactor, 1);
    for (const std::string_view bad : {"0", "2.5", "x", "32769", "-2"})
        EXPECT_EQ(parse(complete({"--screen-factor", bad})).error,
                  "option --screen-factor '" + std::string(bad) +
                      "' is not a whole number from 1 to 32768");
    const CommandLine interactive =
        parse({"--weighted", "--aperture=auto", "--dir", ".", "--frames", "--dir"});
    ASSERT_EQ(interactive.mode, CommandLine::Mode::interactive) << interactive.error;
    EXPECT_EQ(interactive.givenWords,
              (std::vector<std::string>{"--weighted", "--aperture", "auto", "--frames", "--dir"}));
}

// The value of an angle, from its three fields, must lie in its range: an unnoticed slip
// (latitude 95, a longitude beyond 180, RA 25 h) would give airmasses of no sky.
TEST(Options, AnglesOutsideTheirRangeAreNamed) {
    const auto with = [](std::string_view option, std::string_view value) {
        std::vector<std::string_view> args = kComplete;
        for (std::size_t i = 0; i + 1 < args.size(); ++i)
            if (args[i] == option) args[i + 1] = value;
        return args;
    };
    struct Case {
        std::string_view option, value, message;
    };
    for (const Case& c :
         {Case{"--lat", "90,0,1", "option --lat '90,0,1' lies outside -90 to 90 degrees"},
          Case{"--lat", "-91,0,0", "option --lat '-91,0,0' lies outside -90 to 90 degrees"},
          Case{"--dec", "89,60,1", "option --dec '89,60,1' lies outside -90 to 90 degrees"},
          Case{"--ra", "24,0,1", "option --ra '24,0,1' lies outside 0 to 24 hours"},
          Case{"--ra", "-1,0,0", "option --ra '-1,0,0' lies outside 0 to 24 hours"},
          Case{"--lat", "10,-30,0",
               "option --lat '10,-30,0' has minutes or seconds outside 0 to 60"},
          Case{"--dec", "10,0,60.5",
               "option --dec '10,0,60.5' has minutes or seconds outside 0 to 60"},
          Case{"--lat", "-90,0,1", "option --lat '-90,0,1' lies outside -90 to 90 degrees"}}) {
        const CommandLine r = parse(with(c.option, c.value));
        EXPECT_EQ(r.mode, CommandLine::Mode::error) << c.value;
        EXPECT_EQ(r.error, c.message);
    }
    std::vector<std::string_view> lon = {"--lat",  "1,0,0", "--lon",        "180,0,1",
                                         "--ra",   "1,0,0", "--dec",        "1,0,0",
                                         "--star", "1,1",   "--background", "2,2"};
    EXPECT_EQ(parse(lon).error, "option --lon '180,0,1' lies outside -180 to 180 degrees");
    // The ends of each range are good.
    lon[1] = "-90,0,0";
    lon[3] = "-180,0,0";
    lon[5] = "24,0,0";
    lon[7] = "90,0,0";
    EXPECT_EQ(parse(lon).mode, CommandLine::Mode::batch) << parse(lon).error;
}

TEST(Options, NumbersAreReadAsTypedAnswersAreRead) {
    std::vector<std::string_view> args = complete();
    args[1] = "1D1,&H1E,.5";
    args[8] = "3.125E2,&B11";
    const CommandLine c = parse(args);
    ASSERT_EQ(c.mode, CommandLine::Mode::batch) << c.error;
    EXPECT_EQ(c.options.latitude, "1D1,&H1E,.5");
    EXPECT_EQ(c.options.starColumn, 312.5f);
    EXPECT_EQ(c.options.starRow, 3.0f);
}

// The options --help lists: the first word of each line of its options that starts with "--".
std::vector<std::string> listedOptions(const std::string& help) {
    const std::size_t start = help.find("Options:\n");
    std::istringstream in(help.substr(start, help.find("\n\n", start) - start));
    std::vector<std::string> listed;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("  --")) listed.push_back(line.substr(2, line.find(' ', 2) - 2));
    return listed;
}

// --help lists these options and no others, and the parser knows every one it lists.
TEST(Options, HelpListsExactlyTheOptionsTheParserAccepts) {
    const std::vector<std::string> listed = listedOptions(helpText());
    const std::vector<std::string> expected = {
        "--lat",        "--lon",           "--ra",       "--dec",          "--star",
        "--background", "--screen-factor", "--remove",   "--restore",      "--graph",
        "--dir",        "--frames",        "--band",     "--band-keyword", "--bayer",
        "--airmass",    "--equinox",       "--time-ref", "--pressure",     "--temperature",
        "--gain",       "--read-noise",    "--weighted", "--strict",       "--reject",
        "--aperture",   "--annulus",       "--plot",     "--plot-y",       "--field",
        "--weights-at", "--report",        "--help",     "--version"};
    EXPECT_EQ(listed, expected);
    for (const std::string& option : listed) {
        const CommandLine c = parse({option, "x"});
        EXPECT_NE(c.error, "unknown option " + option + " (see --help)");
    }
    EXPECT_EQ(parse({"-h"}).mode, CommandLine::Mode::help);
}

TEST(Options, HelpNamesEveryOptionWithAnExample) {
    const std::string help = helpText();
    for (const char* option : {"--lat", "--lon", "--ra", "--dec", "--star", "--background",
                               "--remove", "--graph", "--dir", "--help", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(help.find("Example:\n  orvel --lat"), std::string::npos);
}

}  // namespace
}  // namespace orvel

namespace orvel {
namespace {

TEST(Options, FrameSelectionOptionsWorkInBothRunsAndAreChecked) {
    const CommandLine c = parseCommandLine(std::vector<std::string_view>{
        "--frames", "Light_*.fits", "--frames=*.fts", "--band", "Ha=r", "--band", "O=III=B",
        "--band-keyword", "filtname", "--bayer", "gbrg"});
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    const FrameSelection& f = c.options.run.frames;
    EXPECT_EQ(f.patterns, (std::vector<std::string>{"Light_*.fits", "*.fts"}));
    ASSERT_EQ(f.bandNames.size(), 2u);
    EXPECT_EQ(f.bandNames[0], std::make_pair(std::string("Ha"), Band::red));
    EXPECT_EQ(f.bandNames[1], std::make_pair(std::string("O=III"), Band::blue));
    EXPECT_EQ(f.bandKeyword, "FILTNAME");
    EXPECT_EQ(f.bayer, "gbrg");
    const auto error = [](std::vector<std::string_view> args) {
        return parseCommandLine(args).error;
    };
    EXPECT_EQ(error({"--frames", "*", "--band", "Ha"}),
              "option --band 'Ha' is not of the form NAME=R, NAME=G or NAME=B");
    EXPECT_EQ(error({"--frames", "*", "--band", "Ha=Q"}),
              "option --band 'Ha=Q' is not of the form NAME=R, NAME=G or NAME=B");
    EXPECT_EQ(error({"--frames", "*", "--bayer", "RGBG"}),
              "option --bayer 'RGBG' is not RGGB, BGGR, GRBG or GBRG");
    EXPECT_EQ(error({"--band", "Ha=R"}),
              "options --band, --band-keyword and --bayer need --frames PATTERN");
    EXPECT_EQ(error({"--frames", ""}), "option --frames needs a pattern");
    EXPECT_EQ(error({"--frames", "*", "--band-keyword", "TOOLONGNAME"}),
              "option --band-keyword 'TOOLONGNAME' is not a FITS keyword");
}

TEST(Options, PicturesAndWeightsKeepTheRunInteractiveAndAreChecked) {
    const CommandLine c = parseCommandLine(std::vector<std::string_view>{
        "--plot", "n.SVG", "--plot-y", "mag", "--field", "f.png", "--weights-at", "33.5",
        "--weights-at=70", "--report", "r.html"});
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    EXPECT_EQ(c.options.run.plotFile, std::filesystem::path("n.SVG"));
    EXPECT_TRUE(c.options.run.plotMagnitudes);
    EXPECT_EQ(c.options.run.fieldFile, std::filesystem::path("f.png"));
    EXPECT_EQ(c.options.run.weightAltitudes, (std::vector<double>{33.5, 70}));
    EXPECT_EQ(c.options.run.reportFile, std::filesystem::path("r.html"));
    EXPECT_FALSE(parseCommandLine(std::vector<std::string_view>{"--plot", "n.pdf"})
                     .options.run.plotMagnitudes);

    const std::pair<std::vector<std::string_view>, std::string> bad[] = {
        {{"--plot", "n.jpg"}, "option --plot 'n.jpg' must end in .png, .svg or .pdf"},
        {{"--plot-y", "log"}, "option --plot-y 'log' must be mag or ln"},
        {{"--field", "f.svg"}, "option --field 'f.svg' must end in .png"},
        {{"--weights-at", "0"},
         "option --weights-at '0' is not an altitude from 3 up to 90 degrees"},
        {{"--weights-at", "2.99"},
         "option --weights-at '2.99' is not an altitude from 3 up to 90 degrees"},
        {{"--weights-at", "90.5"},
         "option --weights-at '90.5' is not an altitude from 3 up to 90 degrees"},
        {{"--report", ""}, "option --report needs a file name"},
    };
    for (const auto& [args, message] : bad) {
        const CommandLine e = parseCommandLine(args);
        EXPECT_EQ(e.mode, CommandLine::Mode::error) << message;
        EXPECT_EQ(e.error, message);
    }
    // The upper end is an altitude: the zenith.
    EXPECT_EQ(parseCommandLine(std::vector<std::string_view>{"--weights-at", "90"}).mode,
              CommandLine::Mode::interactive);
    EXPECT_EQ(parseCommandLine(std::vector<std::string_view>{"--weights-at", "3"}).mode,
              CommandLine::Mode::interactive);
}

}  // namespace
}  // namespace orvel
