// Properties that the fuzz checks demand of every input. A failed property is thrown, so that
// a fuzz target can turn it into a crash and a replay test into a failed expectation.
#pragma once

#include <string>

namespace orvel::fuzz {

struct PropertyFailed {
    std::string what;  // "file:line: condition"
};

inline void requireAt(bool holds, const char* file, int line, const char* condition) {
    if (!holds)
        throw PropertyFailed{std::string(file) + ":" + std::to_string(line) + ": " + condition};
}

}  // namespace orvel::fuzz

#define FUZZ_REQUIRE(condition) \
    ::orvel::fuzz::requireAt((condition), __FILE__, __LINE__, #condition)
