// The text console: the only way the logic talks to the user in words.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/console_text.h"

namespace orvel {

class Console : public ConsoleText {
public:
    virtual void setTitle(std::string_view title) = 0;
    // Reads one typed line (at most 10000 characters, without the Enter). Empty optional when
    // the input has ended and no further line can come.
    virtual std::optional<std::string> readLine() = 0;
    // Waits briefly, then brings the console to the front so the user can type.
    virtual void toFront() = 0;
};

}  // namespace orvel
