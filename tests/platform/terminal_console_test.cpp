#include "platform/terminal_console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace orvel {
namespace {

// A pipe whose ends close with the test.
struct Pipe {
    int readEnd = -1;
    int writeEnd = -1;
    Pipe() {
        int fds[2];
        if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
        readEnd = fds[0];
        writeEnd = fds[1];
    }
    ~Pipe() {
        closeWrite();
        if (readEnd >= 0) ::close(readEnd);
    }
    void send(std::string_view bytes) const {
        ASSERT_EQ(::write(writeEnd, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }
    void closeWrite() {
        if (writeEnd >= 0) ::close(writeEnd);
        writeEnd = -1;
    }
};

// Everything available on a descriptor right now, without waiting for more.
std::string drain(int fd) {
    std::string out;
    char buf[4096];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 50) == 1 && (p.revents & POLLIN) != 0) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

TEST(TerminalConsole, ReadsLinesEndedByLineFeedOrCrLfThenEndOfInput) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    in.send("first\nsecond\r\nthird");
    in.closeWrite();
    EXPECT_EQ(console.readLine(), "first");
    EXPECT_EQ(console.readLine(), "second");
    EXPECT_EQ(console.readLine(), "third");  // a last line without a line end still counts
    EXPECT_EQ(console.readLine(), std::nullopt);
    EXPECT_EQ(console.readLine(), std::nullopt);
    // Piped input is shown in the output, as a terminal would have shown the typing.
    EXPECT_EQ(drain(out.readEnd), "first\nsecond\nthird\n");
}

TEST(TerminalConsole, EmptyInputEndsAtOnceAndAnEmptyLineIsALine) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    in.send("\n");
    in.closeWrite();
    EXPECT_EQ(console.readLine(), "");
    EXPECT_EQ(console.readLine(), std::nullopt);
}

TEST(TerminalConsole, CrLfSplitAcrossTwoChunksIsOneLineEnd) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    in.send("one\r");
    EXPECT_EQ(console.readLine(), "one");
    in.send("\ntwo\r");
    EXPECT_EQ(console.readLine(), "two");
    in.send("three\n");
    EXPECT_EQ(console.readLine(), "three");
}

TEST(TerminalConsole, TypingRulesForBackspaceAndControlCharacters) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    in.send(
        "ab\bc\x7f\x7f"
        "d\n");                      // backspace (8) and delete (127) remove characters
    in.send("\b\bxy\n");             // backspace on an empty line does nothing
    in.send("a\tb\x1b[1;2c\x01\n");  // other control characters are dropped
    EXPECT_EQ(console.readLine(), "d");
    EXPECT_EQ(console.readLine(), "xy");
    EXPECT_EQ(console.readLine(), "ab[1;2c");
}

TEST(TerminalConsole, ControlBytesReachTheOutputAsEscapes) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    // Text built from a file: an 8-bit CSI (0x9b) and ESC M (reverse line feed).
    console.print("frame \x9b[2J and \x1bM\n");
    EXPECT_EQ(drain(out.readEnd), "frame \\x9b[2J and \\x1bM\n");
    // A typed (piped) line keeps its bytes for the program; its echo shows them escaped.
    in.send("a\x9bz\n");
    EXPECT_EQ(console.readLine(), "a\x9bz");
    EXPECT_EQ(drain(out.readEnd), "a\\x9bz\n");
}

TEST(TerminalConsole, LinesKeepTheFirstTenThousandCharacters) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    in.send(std::string(10000, 'a') + "bbbb\n" + std::string(9999, 'c') + "de\bf\n");
    const auto first = console.readLine();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, std::string(10000, 'a'));
    // At the limit a backspace still removes the last character and makes room for one more.
    EXPECT_EQ(console.readLine(), std::string(9999, 'c') + "f");
}

TEST(TerminalConsole, IdleHookRunsWhileWaitingForALine) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    int idleCalls = 0;
    // The hook is where the window handles its events; here the "user" types after a while.
    console.setIdle([&] {
        if (++idleCalls == 3) in.send("late\n");
    });
    EXPECT_EQ(console.readLine(), "late");
    EXPECT_GE(idleCalls, 3);
}

TEST(TerminalConsole, PrintWritesAtOnceAndPipesGetNoTerminalSequences) {
    Pipe in, out;
    TerminalConsole console(in.readEnd, out.writeEnd);
    int idleCalls = 0;
    console.setIdle([&] { ++idleCalls; });
    console.setTitle("ORVEL Atmospheric Extinction Coefficient Calculator");
    console.print("Enter Y or N? ");
    console.printNumber(1920);
    console.endLine();
    console.toFront();
    EXPECT_EQ(drain(out.readEnd), "Enter Y or N?  1920 \n");
    EXPECT_GE(idleCalls, 1);  // the window stays served during the pause
}

// A pseudo-terminal: the program's side is a real terminal, the test types on the other side.
struct PseudoTerminal {
    int master = -1;
    int slave = -1;
    PseudoTerminal() {
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
    }
    ~PseudoTerminal() {
        ::close(slave);
        ::close(master);
    }
};

TEST(TerminalConsole, OnATerminalTitleAndRaiseSequencesAreSent) {
    PseudoTerminal tty;
    TerminalConsole console(tty.slave, tty.slave);
    console.setTitle("ORVEL");
    console.toFront();
    EXPECT_EQ(drain(tty.master), "\x1b]0;ORVEL\a\x1b[5t");
}

TEST(TerminalConsole, OnATerminalTheTerminalEditsTheLine) {
    PseudoTerminal tty;
    // Start from raw mode, as a crashed full-screen program might leave the terminal.
    termios raw{};
    ASSERT_EQ(::tcgetattr(tty.slave, &raw), 0);
    const tcflag_t original = raw.c_lflag;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    ASSERT_EQ(::tcsetattr(tty.slave, TCSANOW, &raw), 0);
    {
        TerminalConsole console(tty.slave, tty.slave);
        const std::string typed = "12x\x7f,5\n";  // typed keys: DEL is the terminal's erase key
        ASSERT_EQ(::write(tty.master, typed.data(), typed.size()),
                  static_cast<ssize_t>(typed.size()));
        EXPECT_EQ(console.readLine(), "12,5");
    }
    termios after{};
    ASSERT_EQ(::tcgetattr(tty.slave, &after), 0);
    EXPECT_EQ(after.c_lflag, original & ~static_cast<tcflag_t>(ICANON | ECHO));
}

}  // namespace
}  // namespace orvel
