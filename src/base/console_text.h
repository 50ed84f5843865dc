// Where the program's console lines go: the console of a run, or a buffer for a frame measured
// beside the dialogue (its lines are shown later, in file order).
#pragma once

#include <string>
#include <string_view>

#include "base/display_text.h"
#include "base/number_format.h"

namespace orvel {

class ConsoleText {
public:
    virtual ~ConsoleText() = default;

    // Writes text at the cursor, no line end.
    virtual void print(std::string_view text) = 0;

    void printNumber(double x) { print(formatShort(x)); }
    void endLine() { print("\n"); }
    // One line: a line end inside the text (from a file name) is written as an escape, as
    // every other control character is.
    void printLine(std::string_view text) {
        print(displaySafe(text));
        endLine();
    }
};

// Console text kept in memory until it is shown.
class BufferedConsoleText : public ConsoleText {
public:
    void print(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace orvel
