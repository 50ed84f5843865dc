#include "run/run_flow.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::count;

using test::logLines;
using test::readFile;
using test::TempDir;

const std::vector<std::string> kCoordinates = {"-33,52,7", "151,12,30", "5,55,10", "7,24,25"};

std::vector<std::string> lines(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

int run(const TempDir& dir, ScriptedConsole& console, ScriptedWindow& window) {
    RunEnvironment env{console, window, dir.path()};
    return runOrvel(env);
}

TEST(RunFlow, EmptyFolderGoesStraightToTheClosingQuestion) {
    TempDir dir;
    ScriptedConsole console(lines({{"y"}, kCoordinates, {"q", "X"}}));
    ScriptedWindow window;
    EXPECT_EQ(run(dir, console, window), 0);
    EXPECT_EQ(readFile(dir / "ORVEL_LOG.txt"),
              "ORVEL LOG\r\n"
              "\r\nMonitor Screen Size (Width, Height in pixels)-\r\n"
              "Width =  1920      Height =  1080 \r\n"
              "\r\n"
              "Site Latitude (d,m,s) = -33 ,  52 ,  7 \r\n"
              "Site Longitude (d,m,s) =  151 ,  12 ,  30 \r\n"
              "Star RA (h,m,s) =  5 ,  55 ,  10 \r\n"
              "Star Dec (d,m,s) =  7 ,  24 ,  25 \r\n"
              "\r\nTotal Number of Image Files Read =  0 \r\n\r\nList of Image Files Read-\r\n"
              "\r\n# Red Files =  0 \r\n# Green Files =  0 \r\n# Blue Files =  0 \r\n"
              "\r\nNo files input-- execution stops\r\n");
    const std::string& t = console.transcript();
    EXPECT_EQ(console.title(), "ORVEL Atmospheric Extinction Coefficient Calculator");
    EXPECT_EQ(t.find("             ***********************************\n"), 0u);
    EXPECT_NE(t.find("results to the text file ORVEL_LOG\n\nDo you want to continue (Enter Y or "
                     "N)? y\n"),
              std::string::npos);
    EXPECT_EQ(count(t, "\nProgram is finished. Enter X to terminate. "), 2u);
    EXPECT_TRUE(test::dialogueOf(t).ends_with("\nProgram is finished. Enter X to terminate. X\n"));
    // Then the command that repeats the run: nothing was picked, so the picks are placeholders.
    EXPECT_TRUE(
        t.ends_with("Enter X to terminate. X\n\nTo repeat this run unattended (the same "
                    "log but for the screen size, and the same results files):\norvel "
                    "--dir " +
                    dir.path().string() +
                    " --lat -33,52,7 --lon 151,12,30 --ra 5,55,10 --dec 7,24,25 --star "
                    "0,0 --background 0,0\n"))
        << t;
    EXPECT_EQ(count(t, "Input the "), 4u);
    EXPECT_TRUE(window.created().empty());
}

TEST(RunFlow, OnlyASingleYContinues) {
    for (const std::string answer : {"yes", "n", "", "Y."}) {
        TempDir dir;
        test::writeFile(dir / "ORVEL_LOG.txt", "earlier run");
        ScriptedConsole console({answer, "X"});
        ScriptedWindow window;
        EXPECT_EQ(run(dir, console, window), 0);
        EXPECT_EQ(readFile(dir / "ORVEL_LOG.txt"), "earlier run") << answer;
        EXPECT_EQ(console.linesLeft(), 1u) << "nothing more is asked after " << answer;
    }
    TempDir dir;
    ScriptedConsole console(lines({{" y "}, kCoordinates, {"x"}}));
    ScriptedWindow window;
    EXPECT_EQ(run(dir, console, window), 0);
    EXPECT_EQ(logLines(readFile(dir / "ORVEL_LOG.txt")).front(), "ORVEL LOG");
}

TEST(RunFlow, EndOfInputEndsCleanlyKeepingTheLog) {
    TempDir dir;
    ScriptedConsole console({"y", "-33,52,7"});
    ScriptedWindow window;
    EXPECT_EQ(run(dir, console, window), 1);
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_TRUE(log.ends_with("Width =  1920      Height =  1080 \r\n"));
    EXPECT_NE(console.transcript().find("Console input ended."), std::string::npos);

    TempDir quiet;
    ScriptedConsole none;
    EXPECT_EQ(run(quiet, none, window), 0);
    EXPECT_FALSE(std::filesystem::exists(quiet / "ORVEL_LOG.txt"));
}

TEST(RunFlow, ALogThatCannotBeCreatedIsSaidOnceAndTheRunGoesOn) {
    TempDir dir;
    std::filesystem::create_directory(dir / "ORVEL_LOG.txt");
    ScriptedConsole console(lines({{"y"}, kCoordinates, {"X"}}));
    ScriptedWindow window;
    EXPECT_EQ(run(dir, console, window), 0);
    EXPECT_EQ(count(console.transcript(), "ORVEL_LOG.txt cannot be created"), 1u);
    EXPECT_TRUE(test::dialogueOf(console.transcript()).ends_with("Enter X to terminate. X\n"));
}

TEST(RunFlow, NoDisplayIsSaidOnceAndOnlyThePicksNeedOne) {
    TempDir dir;
    ScriptedConsole console(lines({{"y"}, kCoordinates, {"X"}}));
    ScriptedWindow window(std::nullopt);
    EXPECT_EQ(run(dir, console, window), 0);
    EXPECT_EQ(count(console.transcript(), "can only be picked on a display"), 1u);
    EXPECT_NE(readFile(dir / "ORVEL_LOG.txt").find("Width =  0      Height =  0 "),
              std::string::npos);

    test::writeFrame(dir / "a_R.fit", {});
    ScriptedConsole again(lines({{"y"}, kCoordinates}));
    window.setOpenFails(true);
    EXPECT_EQ(run(dir, again, window), 1);
    EXPECT_NE(again.transcript().find("No window can be opened to pick the star"),
              std::string::npos);
}

}  // namespace
}  // namespace orvel
