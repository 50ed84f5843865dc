// The text console: the only way the logic talks to the user in words.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "run/number_format.h"

namespace orvel {

class Console {
public:
    virtual ~Console() = default;

    virtual void setTitle(std::string_view title) = 0;
    // Writes text at the cursor, no line end.
    virtual void print(std::string_view text) = 0;
    // Reads one typed line (at most 10000 characters, without the Enter). Empty optional when
    // the input has ended and no further line can come.
    virtual std::optional<std::string> readLine() = 0;
    // Waits briefly, then brings the console to the front so the user can type.
    virtual void toFront() = 0;

    void printNumber(double x) { print(formatShort(x)); }
    void endLine() { print("\n"); }
    void printLine(std::string_view text) {
        print(text);
        endLine();
    }
};

}  // namespace orvel
