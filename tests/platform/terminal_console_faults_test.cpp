// Typed input that no keyboard would give: lines far beyond 10000 characters, with and without
// backspaces, from a file. The console keeps the typing rules over any length, and holds only
// a bounded part of an unended line (the end-to-end fault test pipes 200 MB under a memory
// limit).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "platform/terminal_console.h"

namespace orvel {
namespace {

// The bytes as a file read from its start, and a sink for the echo.
struct InputFile {
    int fd = -1;
    int sink = -1;
    explicit InputFile(const std::string& bytes) {
        fd = ::memfd_create("typed", MFD_CLOEXEC);
        sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::lseek(fd, 0, SEEK_SET);
    }
    ~InputFile() {
        ::close(fd);
        ::close(sink);
    }
};

std::vector<std::string> readAll(const std::string& bytes) {
    InputFile in(bytes);
    TerminalConsole console(in.fd, in.sink);
    std::vector<std::string> lines;
    while (std::optional<std::string> line = console.readLine()) lines.push_back(*line);
    return lines;
}

TEST(TerminalConsoleFaults, AnEndlessLineKeepsItsFirstTenThousandCharacters) {
    const std::vector<std::string> lines = readAll(std::string(3'000'000, 'y') + "\nX\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(10000, 'y'));
    EXPECT_EQ(lines[1], "X");
    // Without a line end before the end of the input.
    const std::vector<std::string> last = readAll(std::string(2'000'000, 'n'));
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0], std::string(10000, 'n'));
}

TEST(TerminalConsoleFaults, BackspacesFarIntoAnEndlessLineFollowTheTypingRules) {
    // 30000 typed, 10000 kept; 25000 backspaces empty it; what follows is the line.
    EXPECT_EQ(readAll(std::string(30000, 'x') + std::string(25000, '\b') + "Y\n"),
              std::vector<std::string>{"Y"});
    // Backspaces after the limit make room again for later characters.
    EXPECT_EQ(readAll(std::string(60000, 'a') + std::string(3, '\x7f') + "bcd\r\n")[0],
              std::string(9997, 'a') + "bcd");
    // Control characters by the million are ignored, whatever their number.
    EXPECT_EQ(readAll(std::string(1'000'000, '\x01') + "ok" + std::string(100000, '\0') + "\n"),
              std::vector<std::string>{"ok"});
}

TEST(TerminalConsoleFaults, ALineEndSplitOverTheReadingOfALongLine) {
    // The CR of a CR LF pair at the end of a long line, the LF after it: one line end.
    const std::vector<std::string> lines =
        readAll(std::string(4095, 'r') + "\r\n" + std::string(50000, 's') + "\r\nz");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::string(4095, 'r'));
    EXPECT_EQ(lines[1], std::string(10000, 's'));
    EXPECT_EQ(lines[2], "z");
}

}  // namespace
}  // namespace orvel
