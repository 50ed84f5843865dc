// A console for tests: typed lines come from a list, everything shown is kept as a transcript.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/console.h"

namespace orvel {

class ScriptedConsole : public Console {
public:
    explicit ScriptedConsole(std::vector<std::string> lines = {});

    void setTitle(std::string_view title) override { title_ = title; }
    void print(std::string_view text) override { transcript_.append(text); }
    // Gives the next scripted line and echoes it with its Enter, as a terminal shows typing.
    std::optional<std::string> readLine() override;
    void toFront() override { ++toFrontCount_; }

    void addLine(std::string line) { lines_.push_back(std::move(line)); }
    const std::string& transcript() const { return transcript_; }
    const std::string& title() const { return title_; }
    std::size_t linesLeft() const { return lines_.size(); }
    int toFrontCount() const { return toFrontCount_; }

private:
    std::deque<std::string> lines_;
    std::string transcript_;
    std::string title_;
    int toFrontCount_ = 0;
};

}  // namespace orvel
