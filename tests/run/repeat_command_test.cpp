// The command an interactive run prints at its end: run through a shell in a copy of the folder,
// it writes the same log (but for the screen size) and the same results files.
#include "run/repeat_command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/options.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;
using test::count;
using test::readFile;
using test::TempDir;

constexpr const char* kHeading = "To repeat this run unattended";

// Four frames a band of the given size with the star at the given place, and more options.
void simulate(const fs::path& folder, const std::string& sizeAndStar, const std::string& more) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                folder.string() + " --frames 4 " + sizeAndStar + " --seed 7 " +
                                more + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// The frames of a folder copied into a new one of the given name.
void copyFrames(const fs::path& from, const fs::path& to) {
    fs::create_directory(to);
    for (const fs::directory_entry& e : fs::directory_iterator(from))
        if (e.path().extension() == ".fit") fs::copy_file(e.path(), to / e.path().filename());
}

// The line after the heading the run ends with.
std::string printedCommand(const std::string& transcript) {
    const std::size_t heading = transcript.find(kHeading);
    if (heading == std::string::npos) return {};
    const std::size_t start = transcript.find('\n', heading) + 1;
    return transcript.substr(start, transcript.find('\n', start) - start);
}

// Every occurrence of `from` in the text replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The command run by the shell, with the program of this build and the copy's folder.
int runThroughShell(const std::string& command, const fs::path& folder, const fs::path& copy) {
    std::string line = command;
    EXPECT_TRUE(line.starts_with("orvel --dir ")) << line;
    line = shellWord(std::string(ORVEL_BINARY_DIR) + "/orvel") + line.substr(5);
    line = replaced(line, shellWord(folder.string()), shellWord(copy.string()));
    line = replaced(line, shellWord((folder / "ORVEL.bmp").string()),
                    shellWord((copy / "ORVEL.bmp").string()));
    return std::system((line + " > /dev/null").c_str());
}

// The log without the line of the desktop's size, which the unattended run gives as 0 x 0.
std::string withoutDesktopSize(const std::string& log) {
    std::string out;
    for (const std::string& line : test::logLines(log))
        if (!line.starts_with("Width = ")) out += line + "\n";
    return out;
}

void expectSameFiles(const fs::path& interactive, const fs::path& unattended) {
    const std::string log = readFile(interactive / "ORVEL_LOG.txt");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(withoutDesktopSize(log), withoutDesktopSize(readFile(unattended / "ORVEL_LOG.txt")));
    // The line left out is the only one that differs.
    EXPECT_EQ(test::logLines(log).size(),
              test::logLines(readFile(unattended / "ORVEL_LOG.txt")).size());
    for (const char* name : {"ORVEL_results.csv", "ORVEL_fit.csv", "ORVEL_weights.csv"}) {
        SCOPED_TRACE(name);
        const std::string csv = readFile(interactive / name);
        EXPECT_FALSE(csv.empty());
        EXPECT_EQ(csv, readFile(unattended / name));
    }
}

// A folder name a shell would read as several words, a variable, a command and a quote.
const std::string kHostile = "night 'one' $HOME `true`; \"x\" *";

TEST(RepeatCommand, RepeatsARunWithATurnedDownPickAndRemovalsByteForByte) {
    TempDir dir;
    simulate(dir / "plain", "--size 160x120 --star 80,60", "");
    const fs::path folder = dir / kHostile;
    fs::rename(dir / "plain", folder);
    copyFrames(folder, dir / ("copy " + kHostile));
    // The first star pick turned down; two removals, the second after a point turned down, then
    // put back with U; the graph saved; a wrong answer at the closing question.
    ScriptedConsole console({"y", "35,0,0", "-106,30,0", "9,5,0", "34,30,0", "N", "Y", "Y", "Y",
                             "2", "Y", "Y", "1", "N", "Y", "U", "N", "Y", "Q", "X"});
    ScriptedWindow window;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{
             {40, 30}, {80, 60}, {20, 100}, {320, 240}, {100, 100}, {500, 400}})
        window.addClick(x, y);
    RunEnvironment env{console, window, folder};
    ASSERT_EQ(runOrvel(env), 0);
    const std::string& t = console.transcript();
    // The described dialogue ends as ever; the command follows it.
    EXPECT_NE(t.find("Program is finished. Enter X to terminate. X\n\nTo repeat this run"),
              std::string::npos)
        << t;
    const std::string command = printedCommand(t);
    EXPECT_EQ(count(command, "--remove NIGHT_"), 2u) << command;
    EXPECT_EQ(count(command, "--restore NIGHT_"), 1u) << command;
    EXPECT_EQ(count(command, "--star "), 2u) << command;
    EXPECT_EQ(command.find("--screen-factor"), std::string::npos) << command;
    // The log holds what the command must give again: two star picks and four reports.
    const std::string log = readFile(folder / "ORVEL_LOG.txt");
    EXPECT_EQ(count(log, "Initial target star position:"), 2u);
    EXPECT_EQ(count(log, "FINAL RESULTS"), 4u);
    ASSERT_EQ(runThroughShell(command, folder, dir / ("copy " + kHostile)), 0) << command;
    expectSameFiles(folder, dir / ("copy " + kHostile));
    EXPECT_TRUE(fs::exists(dir / ("copy " + kHostile) / "ORVEL.bmp"));
}

TEST(RepeatCommand, RepeatsARunOnAReducedPictureWithCoordinatesFromTheFrames) {
    TempDir dir;
    // 2000 x 1200 pixels on a 1920 x 1080 desktop: a picture reduced twice.
    simulate(dir / "night", "--size 2000x1200 --star 1000,600", "--header-style nina");
    copyFrames(dir / "night", dir / "copy");
    // The run's own options come from its command line and are passed on.
    const fs::path report = dir / "night.html";
    const std::vector<std::string_view> args = {"--aperture", "auto", "--report", report.c_str()};
    const CommandLine c = parseCommandLine(args);
    ASSERT_EQ(c.mode, CommandLine::Mode::interactive) << c.error;
    // The latitude typed, the rest taken from the frames (Enter).
    ScriptedConsole console({"y", "35,0,0", "", "", "", "Y", "Y", "Y", "3", "Y", "N", "N", "X"});
    ScriptedWindow window;
    for (const auto& [x, y] : std::vector<std::pair<int, int>>{{500, 300}, {100, 100}, {300, 300}})
        window.addClick(x, y);
    RunEnvironment env{console, window, dir / "night", c.options.run};
    env.givenWords = c.givenWords;
    ASSERT_EQ(runOrvel(env), 0);
    const std::string command = printedCommand(console.transcript());
    EXPECT_NE(
        command.find(" --star 1000,600 --background 200,200 --screen-factor 2 --remove NIGHT_"),
        std::string::npos)
        << command;
    EXPECT_NE(command.find(" --lat 35,0,0 --star"), std::string::npos) << command;
    EXPECT_TRUE(command.ends_with(" --aperture auto --report " + shellWord(report.string())))
        << command;
    EXPECT_NE(readFile(dir / "night" / "ORVEL_LOG.txt").find("Screen Factor =  1 \r\n"),
              std::string::npos);
    // The report holds the same command.
    const std::string html = readFile(report);
    // (No character of this command is one HTML escapes.)
    EXPECT_NE(html.find("<pre>" + command + "</pre>"), std::string::npos) << html.size();
    ASSERT_EQ(runThroughShell(command, dir / "night", dir / "copy"), 0) << command;
    expectSameFiles(dir / "night", dir / "copy");
}

// A folder of frames named as a capture program names them: the interactive run says what it
// looked for and how to take them, and still ends with the command that repeats it.
TEST(RepeatCommand, AnInteractiveRunWithoutFramesSaysWhatItLookedFor) {
    TempDir dir;
    simulate(dir / "night", "--size 160x120 --star 80,60", "--names light");
    ScriptedConsole console({"y", "35,0,0", "-106,30,0", "9,5,0", "34,30,0", "X"});
    ScriptedWindow window;
    RunEnvironment env{console, window, dir / "night"};
    ASSERT_EQ(runOrvel(env), 0);
    const std::string& t = console.transcript();
    EXPECT_NE(t.find("\nNo frames found in " + (dir / "night").string() +
                     ": no file name ends in R.fit, G.fit or B.fit.\n12 FITS frames here name "
                     "their band in FILTER (R 4, G 4, B 4): orvel --frames '*.fits'\n\nProgram "
                     "is finished."),
              std::string::npos)
        << t;
    EXPECT_TRUE(window.created().empty());
    EXPECT_EQ(printedCommand(t), "orvel --dir " + (dir / "night").string() +
                                     " --lat 35,0,0 --lon -106,30,0 --ra 9,5,0 --dec 34,30,0 "
                                     "--star 0,0 --background 0,0");
}

// What a POSIX shell makes of the quoted word.
std::string echoedByShell(const std::string& word) {
    const std::string command = "printf '%s' " + shellWord(word);
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

TEST(RepeatCommand, WordsComeBackFromTheShellAsTheyWere) {
    EXPECT_EQ(shellWord("NIGHT_0003_G.fit"), "NIGHT_0003_G.fit");
    EXPECT_EQ(shellWord("-106,30,0"), "-106,30,0");
    EXPECT_EQ(shellWord("it's"), "'it'\\''s'");
    EXPECT_EQ(shellWord(""), "''");
    for (const std::string& word : {kHostile, std::string("a'b''c'"), std::string("~user"),
                                    std::string("x=1"), std::string("$(ls) & | < > ( ) # \\ !"),
                                    std::string("\xc3\xa9toile \xe2\x98\x85"), std::string("")})
        EXPECT_EQ(echoedByShell(word), word) << shellWord(word);
}

TEST(RepeatCommand, ANameWithAControlCharacterIsNotPrinted) {
    RunAnswers answers;
    answers.folder = "/data/night";
    answers.edits = {{"NIGHT_0002_R.fit"}, {"NIGHT_0005_R.fit"}, {"NIGHT_0005_R.fit", true}};
    ASSERT_TRUE(repeatCommand(answers));
    EXPECT_EQ(*repeatCommand(answers),
              "orvel --dir /data/night --lat 0,0,0 --lon 0,0,0 --ra 0,0,0 --dec 0,0,0 --star 0,0 "
              "--background 0,0 --remove NIGHT_0002_R.fit --remove NIGHT_0005_R.fit --restore "
              "NIGHT_0005_R.fit");
    answers.edits = {{"NIGHT_0002\x1b[2J_R.fit"}};
    EXPECT_FALSE(repeatCommand(answers));
    EXPECT_NE(repeatText(answers).find("cannot be printed"), std::string::npos);
    answers.edits.clear();
    answers.folder = "/data/night\n2";
    EXPECT_FALSE(repeatCommand(answers));
}

}  // namespace
}  // namespace orvel
