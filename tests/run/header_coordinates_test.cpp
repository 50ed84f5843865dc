// The site and the star offered by the frames in the interactive dialogue, through the console
// and the window: Enter takes them; frames without such cards leave the dialogue as it was.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/batch_run.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::readFile;
using test::TempDir;

void simulate(const std::filesystem::path& folder, const std::string& style) {
    const std::string command = std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " +
                                folder.string() + " --frames 3 --size 120x90 --star 60,45" +
                                (style.empty() ? "" : " --header-style " + style) + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
}

// An interactive run: the four coordinate answers, the two picks confirmed, no removal, no save.
std::string interactive(const std::filesystem::path& folder, std::vector<std::string> answers) {
    std::vector<std::string> lines = {"y"};
    lines.insert(lines.end(), answers.begin(), answers.end());
    lines.insert(lines.end(), {"Y", "Y", "N", "N", "X"});
    ScriptedConsole console(lines);
    ScriptedWindow window;
    window.addClick(60, 45);
    window.addClick(15, 15);
    RunEnvironment env{console, window, folder};
    EXPECT_EQ(runOrvel(env), 0);
    // The dialogue: the command printed after it names the folder.
    return test::dialogueOf(console.transcript());
}

// The log without the header text, which differs between header styles.
std::string withoutHeaders(const std::string& log) {
    std::string kept;
    for (const std::string& line : test::logLines(log))
        if (!line.starts_with("SIMPLE")) kept += line + "\n";
    return kept;
}

TEST(HeaderCoordinates, EnterTakesTheFramesValuesAsTheUnattendedRunDoes) {
    TempDir dir;
    simulate(dir / "asked", "nina");
    simulate(dir / "given", "nina");
    const std::string t = interactive(dir / "asked", {"", "", " ", ""});
    EXPECT_NE(
        t.find("\nSite latitude from the frames (SITELAT): 35,0,0 \xe2\x80\x94 press Enter to "
               "take it\nInput the Latitude of site (D,M,S, South is negative)- \n"),
        std::string::npos)
        << t;
    EXPECT_NE(t.find("Site longitude from the frames (SITELONG): -106,30,0 \xe2\x80\x94"),
              std::string::npos);
    // The J2000 cards come brought to the date: the simulator's own place of date, 9h05m +34.5.
    EXPECT_NE(t.find("Star right ascension from the frames (OBJCTRA, J2000 brought to the date): "
                     "9,5,0"),
              std::string::npos);
    EXPECT_NE(t.find("Star declination from the frames (OBJCTDEC, J2000 brought to the date): "
                     "34,30,0"),
              std::string::npos);
    const std::string log = readFile(dir / "asked" / "ORVEL_LOG.txt");
    EXPECT_NE(log.find("Site Longitude (d,m,s) = -106 ,  30 ,  0 \r\n"), std::string::npos);
    EXPECT_NE(log.find("\r\nSite latitude taken from SITELAT\r\n"), std::string::npos);

    BatchOptions o;
    o.starColumn = 60;
    o.starRow = 45;
    o.backgroundColumn = 15;
    o.backgroundRow = 15;
    o.run.folder = dir / "given";
    ScriptedConsole out;
    ASSERT_EQ(runBatch(o, out), 0);
    EXPECT_EQ(readFile(dir / "asked" / "ORVEL_fit.csv"), readFile(dir / "given" / "ORVEL_fit.csv"));
}

TEST(HeaderCoordinates, FramesWithoutValuesLeaveTheDialogueAndLogAsTheyWere) {
    TempDir dir;
    simulate(dir / "plain", "");
    simulate(dir / "zeros", "zeros");
    const std::vector<std::string> typed = {"35,0,0", "-106,30,0", "9,5,0", "34,30,0"};
    EXPECT_EQ(interactive(dir / "zeros", typed), interactive(dir / "plain", typed));
    EXPECT_EQ(withoutHeaders(readFile(dir / "zeros" / "ORVEL_LOG.txt")),
              withoutHeaders(readFile(dir / "plain" / "ORVEL_LOG.txt")));
}

}  // namespace
}  // namespace orvel
