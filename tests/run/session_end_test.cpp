// The user goes away in the middle of a run: the typed input ends at each kind of question, or
// the window is closed during each kind of pick. The run must end by itself with status 1, say
// why, close its window, and leave a log that is a prefix of the log of the whole dialogue.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/batch_run.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::readFile;
using test::TempDir;

// Every kind of question of the dialogue, in the order a whole run asks them, with its answer.
struct Question {
    const char* kind;
    const char* answer;
};
const std::vector<Question> kDialogue = {
    {"confirmation", "y"},
    {"latitude", "35,0,0"},
    {"longitude", "0,0,0"},
    {"right ascension", "6,0,0"},
    {"declination", "35,0,0"},
    {"star confirmation (rejected)", "n"},
    {"star confirmation", "Y"},
    {"background confirmation (rejected)", "N"},
    {"background confirmation", "y"},
    {"outlier question", ""},
    {"band number (none)", "0"},
    {"outlier question again", "Y"},
    {"band number", "2"},
    {"point confirmation (rejected)", "no"},
    {"point confirmation", "Y"},
    {"more outliers question", "N"},
    {"save question", "Y"},
    {"closing question (wrong letter)", "q"},
    {"closing question", "X"},
};

// The clicks of the whole dialogue: two star picks, two background picks, two point picks.
void addAllClicks(ScriptedWindow& window) {
    window.addClick(10, 10);
    window.addClick(30, 20);
    window.addClick(5, 40);
    window.addClick(50, 40);
    window.addClick(0, 479);
    window.addClick(600, 10);
}

std::vector<std::string> firstAnswers(std::size_t n) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < n; ++i) lines.emplace_back(kDialogue[i].answer);
    return lines;
}

struct Outcome {
    int status = 0;
    std::string log;
    std::string transcript;
    bool windowOpen = false;
    bool graphSaved = false;
    bool resultsSaved = false;
};

Outcome runNight(ScriptedConsole& console, ScriptedWindow& window) {
    TempDir dir;
    test::writeSmallNight(dir, 2);
    RunEnvironment env{console, window, dir.path()};
    Outcome o;
    o.status = runOrvel(env);
    const bool hasLog = std::filesystem::exists(dir / "ORVEL_LOG.txt");
    o.log = hasLog ? readFile(dir / "ORVEL_LOG.txt") : std::string();
    o.transcript = console.transcript();
    o.windowOpen = window.isOpen();
    o.graphSaved = std::filesystem::exists(dir / "ORVEL.bmp");
    o.resultsSaved = std::filesystem::exists(dir / "ORVEL_fit.csv") &&
                     std::filesystem::exists(dir / "ORVEL_results.csv");
    return o;
}

Outcome wholeDialogue() {
    ScriptedConsole console(firstAnswers(kDialogue.size()));
    ScriptedWindow window;
    addAllClicks(window);
    return runNight(console, window);
}

TEST(SessionEnd, TheWholeDialogueRunsToItsEnd) {
    const Outcome full = wholeDialogue();
    EXPECT_EQ(full.status, 0);
    EXPECT_TRUE(full.graphSaved);
    EXPECT_EQ(test::logLines(full.log).front(), "ORVEL LOG");
    EXPECT_TRUE(test::dialogueOf(full.transcript).ends_with("Enter X to terminate. X\n"));
}

TEST(SessionEnd, InputEndingAtEachQuestionEndsTheRunWithTheLogKept) {
    const Outcome full = wholeDialogue();
    ASSERT_EQ(full.status, 0);
    for (std::size_t n = 0; n < kDialogue.size(); ++n) {
        SCOPED_TRACE(std::string("input ends at the ") + kDialogue[n].kind);
        ScriptedConsole console(firstAnswers(n));
        ScriptedWindow window;
        addAllClicks(window);
        const Outcome o = runNight(console, window);
        EXPECT_FALSE(o.windowOpen);
        EXPECT_TRUE(full.log.starts_with(o.log));
        if (n == 0) {
            // Nothing was written yet: the run ends as a declined confirmation does.
            EXPECT_EQ(o.status, 0);
            EXPECT_TRUE(o.log.empty());
            continue;
        }
        EXPECT_EQ(o.status, 1);
        EXPECT_TRUE(o.transcript.ends_with(
            "Console input ended. The run ends; the log keeps everything measured.\n"));
        // Up to the save question no graph is written.
        EXPECT_EQ(o.graphSaved, n > 16);
        // The log already holds what was measured before the question.
        EXPECT_EQ(o.log.find("Site Latitude (d,m,s) = ") != std::string::npos, n >= 5);
        EXPECT_EQ(o.log.find("Current file number =  6 ") != std::string::npos, n >= 9);
        // Once the fit is reported, the results files follow it.
        EXPECT_EQ(o.resultsSaved, n >= 9);
    }
}

// The pick that the closed window interrupts, after the clicks that come before it.
struct ClosedPick {
    const char* kind;
    int clicksBefore;  // clicks of addAllClicks delivered before the window is closed
};

TEST(SessionEnd, ClosingTheWindowAtEachPickEndsTheRunWithTheLogKept) {
    const Outcome full = wholeDialogue();
    ASSERT_EQ(full.status, 0);
    const ClosedPick picks[] = {
        {"star pick", 0},          {"star pick after a rejection", 1},
        {"background pick", 2},    {"background pick after a rejection", 3},
        {"outlier point pick", 4}, {"outlier point pick after a rejection", 5},
    };
    const int clicks[][2] = {{10, 10}, {30, 20}, {5, 40}, {50, 40}, {0, 479}, {600, 10}};
    for (const ClosedPick& pick : picks) {
        SCOPED_TRACE(std::string("window closed at the ") + pick.kind);
        ScriptedConsole console(firstAnswers(kDialogue.size()));
        ScriptedWindow window;
        for (int i = 0; i < pick.clicksBefore; ++i) window.addClick(clicks[i][0], clicks[i][1]);
        window.addClose();
        const Outcome o = runNight(console, window);
        EXPECT_EQ(o.status, 1);
        EXPECT_FALSE(o.windowOpen);
        EXPECT_FALSE(o.graphSaved);
        EXPECT_TRUE(o.transcript.ends_with(
            "The graphics window was closed. The run ends; the log keeps everything "
            "measured.\n"));
        EXPECT_TRUE(full.log.starts_with(o.log));
        EXPECT_NE(o.log.find("Current file number =  1 "), std::string::npos);
    }
}

// A console on which something below the dialogue fails once, as when memory runs out while
// the answer is being taken: the first read after `readsBefore` lines, or the first print of a
// text containing `printMark`, throws.
class FailingConsole : public ScriptedConsole {
  public:
    FailingConsole(std::vector<std::string> lines, std::size_t readsBefore, std::string printMark)
        : ScriptedConsole(std::move(lines)), readsLeft_(readsBefore), mark_(std::move(printMark)) {}

    std::optional<std::string> readLine() override {
        if (readsLeft_-- == 0) throw std::bad_alloc();
        return ScriptedConsole::readLine();
    }
    void print(std::string_view text) override {
        if (!mark_.empty() && text.find(mark_) != std::string_view::npos) {
            mark_.clear();
            throw std::runtime_error("the console failed");
        }
        ScriptedConsole::print(text);
    }

  private:
    std::size_t readsLeft_;
    std::string mark_;
};

TEST(SessionEnd, AFailureBelowTheDialogueEndsTheRunCleanly) {
    const Outcome full = wholeDialogue();
    // Memory runs out at the outlier question, with the window of the graph open.
    FailingConsole console(firstAnswers(kDialogue.size()), 9, "");
    ScriptedWindow window;
    addAllClicks(window);
    const Outcome o = runNight(console, window);
    EXPECT_EQ(o.status, 1);
    EXPECT_FALSE(o.windowOpen);
    EXPECT_TRUE(o.transcript.ends_with(
        "There is not enough memory to go on. The run ends; the log keeps everything "
        "measured.\n"));
    EXPECT_TRUE(full.log.starts_with(o.log));
    EXPECT_NE(o.log.find("Current file number =  6 "), std::string::npos);

    // Any other failure says what it was.
    FailingConsole other(firstAnswers(kDialogue.size()), 99, "PROCESSING FILE ");
    ScriptedWindow window2;
    addAllClicks(window2);
    const Outcome o2 = runNight(other, window2);
    EXPECT_EQ(o2.status, 1);
    EXPECT_TRUE(o2.transcript.ends_with(
        "The run cannot go on (the console failed). The run ends; the log keeps everything "
        "measured.\n"));
    EXPECT_TRUE(full.log.starts_with(o2.log));
}

// An unattended run is judged by its files: a log that cannot be made, or a frame to remove
// that is not in the fit, ends it with status 1 although the results are written.
TEST(SessionEnd, AnUnattendedRunWithoutItsLogOrWithAnUnknownRemovalFails) {
    TempDir dir;
    test::writeSmallNight(dir, 2);
    std::filesystem::create_directory(dir / "ORVEL_LOG.txt");
    ScriptedConsole console;
    EXPECT_EQ(runBatch(test::smallNightOptions(dir.path()), console), 1);
    EXPECT_NE(console.transcript().find("ORVEL_LOG.txt cannot be created"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir / "ORVEL_fit.csv"));

    std::filesystem::remove(dir / "ORVEL_LOG.txt");
    BatchOptions o = test::smallNightOptions(dir.path());
    o.edits = {{"n_0009_R.fit"}};
    ScriptedConsole second;
    EXPECT_EQ(runBatch(o, second), 1);
    EXPECT_NE(second.transcript().find("orvel: --remove n_0009_R.fit: no such frame in the fit"),
              std::string::npos);
    o.edits = {{"n_0002_R.fit"}};
    ScriptedConsole third;
    EXPECT_EQ(runBatch(o, third), 0);
}

TEST(SessionEnd, AFailureBelowTheUnattendedRunEndsItCleanly) {
    TempDir dir;
    // Enough frames that workers are still waiting for their turn when the failure comes.
    test::writeSmallNight(dir, 20);
    const BatchOptions o = test::smallNightOptions(dir.path());
    FailingConsole console({}, 99, "PROCESSING FILE  3 ");
    EXPECT_EQ(runBatch(o, console), 1);
    EXPECT_TRUE(console.transcript().ends_with(
        "orvel: the run cannot go on (the console failed); the log keeps everything measured\n"));
    const std::string log = readFile(dir / "ORVEL_LOG.txt");
    EXPECT_NE(log.find("Current file number =  3 "), std::string::npos);
    EXPECT_TRUE(log.ends_with("\r\n"));
}

}  // namespace
}  // namespace orvel
