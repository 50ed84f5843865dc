// Everything a user types, run on any bytes with the properties it must keep. Shared by the fuzz
// target tests/fuzz/typed_line_fuzz.cpp and the replay test of the saved inputs.
//
// The input is split at line ends into typed lines; each is cut into fields, read as numbers,
// answers and angles, and the numbers are written back in both number formats and read again.
// The same bytes split at NUL bytes are a command line, and the raw bytes are read by the
// terminal console as piped keyboard input.
#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/number_format.h"
#include "base/typed_line.h"
#include "fuzz/property.h"
#include "observing/coordinates.h"
#include "platform/terminal_console.h"
#include "run/options.h"

namespace orvel::fuzz {

// A number written in a format reads back as nearly the same number (p significant digits).
inline void checkFormat(double x, const std::string& text, int p) {
    FUZZ_REQUIRE(text.size() >= 3 && text.size() <= static_cast<std::size_t>(p) + 10);
    FUZZ_REQUIRE(text.front() == ' ' || text.front() == '-');
    FUZZ_REQUIRE(text.back() == ' ');
    if (x == 0.0 || std::isnan(x)) {
        FUZZ_REQUIRE(text == " 0 ");
        return;
    }
    const double back = numericValue(text);
    if (std::isinf(x)) {
        FUZZ_REQUIRE(std::isinf(back) && std::signbit(back) == std::signbit(x));
        return;
    }
    // Far from the ends of the double range the digits carry the value to p places.
    if (std::fabs(x) < 1e-300 || std::fabs(x) > 1e300) return;
    const double tolerance = p == 7 ? 1e-6 : 1e-14;
    FUZZ_REQUIRE(std::fabs(back - x) <= tolerance * std::fabs(x));
}

inline void checkNumber(double x) {
    checkFormat(x, formatShort(x), 7);
    checkFormat(x, formatLong(x), 15);
    const float stored = static_cast<float>(x);
    checkFormat(stored, formatShort(stored), 7);
}

// Field rule: a quoted field holds no quote, an unquoted one no comma and no outer blanks.
inline void checkFields(std::string_view line) {
    FUZZ_REQUIRE(field(line, 0).empty());
    FUZZ_REQUIRE(field(line, -1).empty());
    std::size_t commas = 0;
    for (const char c : line) commas += c == ',';
    for (int n = 1; n <= static_cast<int>(commas) + 2 && n <= 64; ++n) {
        const std::string f = field(line, n);
        FUZZ_REQUIRE(f.size() <= line.size());
        const bool unquotedShape =
            f.find(',') == std::string::npos && !f.starts_with(' ') && !f.ends_with(' ');
        FUZZ_REQUIRE(f.find('"') == std::string::npos || unquotedShape);
        const double v = numericValue(f);
        FUZZ_REQUIRE(!std::isnan(v));
        checkNumber(v);
    }
    FUZZ_REQUIRE(field(line, static_cast<int>(commas) + 2).empty());
}

inline void checkLine(std::string_view line) {
    checkFields(line);
    const double v = numericValue(line);
    // Leading blanks, tabs and line feeds never change the number.
    FUZZ_REQUIRE(numericValue(" \t\n" + std::string(line)) == v);
    for (const char letter : {'Y', 'N', 'X'}) {
        const std::string first = upperCase(field(line, 1));
        FUZZ_REQUIRE(answerIs(line, letter) == (first == std::string(1, letter)));
    }
    for (const bool signRule : {true, false}) {
        const TypedAngle a = angleFromLine(line, signRule);
        FUZZ_REQUIRE(a.sign == 1.0f || (signRule && a.sign == -1.0f));
        for (const float x : {a.whole, a.minutes, a.seconds, a.value}) checkNumber(x);
    }
}

// The bytes split at `separator` (the last piece may be empty).
inline std::vector<std::string> split(std::string_view bytes, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = bytes.find(separator, start);
        pieces.emplace_back(bytes.substr(start, at - start));
        if (at == std::string_view::npos) break;
        start = at + 1;
    }
    return pieces;
}

inline void checkCommandLine(std::string_view bytes) {
    const std::vector<std::string> pieces = split(bytes, '\0');
    std::vector<std::string_view> args;
    for (const std::string& piece : pieces) {
        if (args.size() >= 40) break;
        args.push_back(piece);
    }
    const CommandLine c = parseCommandLine(args);
    if (c.mode == CommandLine::Mode::error) FUZZ_REQUIRE(!c.error.empty());
    if (c.mode == CommandLine::Mode::batch) {
        const BatchOptions& o = c.options;
        // The coordinates may be left out for the frames' headers to give.
        FUZZ_REQUIRE(std::isfinite(o.starColumn) && std::isfinite(o.starRow));
        FUZZ_REQUIRE(std::isfinite(o.backgroundColumn) && std::isfinite(o.backgroundRow));
        for (const FrameNameEdit& e : o.edits) FUZZ_REQUIRE(!e.name.empty());
        // Every pick is the last of its list, and the picture's reduction a whole number.
        FUZZ_REQUIRE(!o.starPicks.empty() && o.starPicks.back().first == o.starColumn);
        FUZZ_REQUIRE(!o.backgroundPicks.empty() &&
                     o.backgroundPicks.back().second == o.backgroundRow);
        FUZZ_REQUIRE(o.screenFactor >= 1 && o.screenFactor <= 32768);
    }
}

// Closes a descriptor at scope end, also when a property fails.
struct ClosedAtEnd {
    int fd;
    ~ClosedAtEnd() {
        if (fd >= 0) ::close(fd);
    }
};

// The bytes as piped keyboard input: every line keeps the typing rules.
inline void checkConsole(std::string_view bytes) {
    static const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const int fd = ::memfd_create("typed", MFD_CLOEXEC);
    const ClosedAtEnd closer{fd};
    if (fd < 0 || sink < 0) return;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    ::lseek(fd, 0, SEEK_SET);
    std::size_t lineEnds = 0;
    for (const char c : bytes) lineEnds += c == '\n' || c == '\r';
    std::size_t lines = 0;
    {
        TerminalConsole console(fd, sink);
        while (const std::optional<std::string> line = console.readLine()) {
            ++lines;
            FUZZ_REQUIRE(lines <= lineEnds + 1);
            FUZZ_REQUIRE(line->size() <= kMaxLineLength);
            for (const char c : *line) {
                const auto code = static_cast<unsigned char>(c);
                FUZZ_REQUIRE(code >= 32 && code != 127);
            }
        }
        FUZZ_REQUIRE(!console.readLine());
    }
}

// Runs every typed-line check on one input; empty when every property held, else the failed
// one.
inline std::string checkTypedInput(std::string_view bytes) {
    try {
        for (const std::string& line : split(bytes, '\n')) checkLine(line);
        checkCommandLine(bytes);
        checkConsole(bytes);
    } catch (const PropertyFailed& failed) {
        return failed.what;
    }
    return {};
}

}  // namespace orvel::fuzz
