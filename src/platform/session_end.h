// Raised when the user can no longer answer: the console input has ended or the window was
// closed while a pick was pending. The run ends cleanly with the log as written so far.
#pragma once

#include <string>

namespace orvel {

struct SessionEnded {
    std::string reason;  // one line for the console, e.g. "Console input ended."
};

}  // namespace orvel
