// Asking the user: every question is a text without line end, then one typed line.
#pragma once

#include <string>
#include <string_view>

#include "platform/console.h"

namespace orvel {

// Reads one line; throws SessionEnded when the console input has ended.
std::string readAnswer(Console& console);

// Writes the question (no line end) and reads the answer line.
std::string ask(Console& console, std::string_view question);

// Asks and applies the answer rule: true when field 1, upper-cased, is exactly the letter.
bool askFor(Console& console, std::string_view question, char letter);

}  // namespace orvel
