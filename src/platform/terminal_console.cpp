#include "platform/terminal_console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "base/display_text.h"
#include "base/file_io.h"
#include "base/typed_line.h"

namespace orvel {

namespace {

constexpr int kPollMs = 20;          // longest pause between two calls of the idle hook
constexpr int kToFrontWaitMs = 100;  // pause before the console is raised
constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kCompactPendingAt = 4 * kMaxLineLength;  // bytes of an unended line

// Applies the typing rules to the bytes of one line.
std::string editLine(std::string_view raw) {
    std::string line;
    for (const char ch : raw) {
        const auto code = static_cast<unsigned char>(ch);
        if (code == 8 || code == 127) {
            if (!line.empty()) line.pop_back();  // backspace: remove the last character
        } else if (code >= 32 && line.size() < kMaxLineLength) {
            line.push_back(ch);  // printable: kept while the line has room
        }
        // Other control characters are ignored.
    }
    return line;
}

}  // namespace

TerminalConsole::TerminalConsole(int inFd, int outFd)
    : inFd_(inFd),
      outFd_(outFd),
      inIsTerminal_(::isatty(inFd) == 1),
      outIsTerminal_(::isatty(outFd) == 1) {
    // The terminal edits and echoes the line itself; make sure a previous program did not
    // leave it in raw mode.
    termios modes{};
    if (inIsTerminal_ && ::tcgetattr(inFd_, &modes) == 0) {
        const tcflag_t wanted = ICANON | ECHO | ECHOE;
        if ((modes.c_lflag & wanted) != wanted) {
            savedLocalModes_ = modes.c_lflag;
            modes.c_lflag |= wanted;
            restoreModes_ = ::tcsetattr(inFd_, TCSANOW, &modes) == 0;
        }
    }
}

TerminalConsole::~TerminalConsole() {
    termios modes{};
    if (restoreModes_ && ::tcgetattr(inFd_, &modes) == 0) {
        modes.c_lflag = savedLocalModes_;
        ::tcsetattr(inFd_, TCSANOW, &modes);
    }
}

void TerminalConsole::setTitle(std::string_view title) {
    if (!outIsTerminal_) return;
    // xterm's "set window title" sequence: ESC ] 0 ; title BEL.
    std::string sequence = "\x1b]0;";
    sequence += title;
    sequence += '\a';
    writeAll(outFd_, sequence);
}

void TerminalConsole::print(std::string_view text) {
    // No byte from a file reaches the terminal as a control: only the line ends stay.
    // Output that cannot be written is lost, as on a closed terminal.
    writeAll(outFd_, displaySafe(text, LineFeeds::kept));
}

void TerminalConsole::toFront() {
    for (int waited = 0; waited < kToFrontWaitMs; waited += kPollMs) {
        runIdle();
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    // xterm's "raise window" sequence; terminals without it ignore it.
    if (outIsTerminal_) writeAll(outFd_, "\x1b[5t");
}

std::optional<std::string> TerminalConsole::readLine() {
    for (;;) {
        if (std::optional<std::string> line = takeLine(inputEnded_)) {
            // A terminal has shown the typing already; for piped input show the line here.
            if (!inIsTerminal_) print(*line + "\n");
            return line;
        }
        if (inputEnded_) return std::nullopt;
        fillPending();
    }
}

std::optional<std::string> TerminalConsole::takeLine(bool atEnd) {
    if (skipLineFeed_ && !pending_.empty()) {
        // The CR of a CR LF pair ended the previous line; its LF came in this chunk.
        if (pending_.front() == '\n') pending_.erase(0, 1);
        skipLineFeed_ = false;
    }
    const std::size_t end = pending_.find_first_of("\r\n");
    if (end == std::string::npos) {
        // A line that never ends is kept in its edited form, which is never longer than 10000
        // characters: editing the edited text and then the rest gives the same line.
        if (pending_.size() > kCompactPendingAt) pending_ = editLine(pending_);
        // A last line without a line end still counts as a line.
        if (!atEnd || pending_.empty()) return std::nullopt;
        std::string line = editLine(pending_);
        pending_.clear();
        return line;
    }
    std::string line = editLine(std::string_view(pending_).substr(0, end));
    std::size_t consumed = end + 1;
    if (pending_[end] == '\r') {
        if (consumed < pending_.size()) {
            if (pending_[consumed] == '\n') ++consumed;
        } else {
            skipLineFeed_ = true;
        }
    }
    pending_.erase(0, consumed);
    return line;
}

bool TerminalConsole::fillPending() {
    pollfd watch{inFd_, POLLIN, 0};
    const int ready = ::poll(&watch, 1, kPollMs);
    if (ready == 0) {
        runIdle();
        return true;
    }
    if (ready < 0) {
        if (errno == EINTR) return true;
        inputEnded_ = true;
        return false;
    }
    if ((watch.revents & POLLNVAL) != 0) {
        inputEnded_ = true;
        return false;
    }
    char chunk[kReadChunk];
    const ssize_t n = ::read(inFd_, chunk, sizeof chunk);
    if (n > 0) {
        pending_.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    // End of the input (or an input that can no longer be read).
    inputEnded_ = true;
    return false;
}

void TerminalConsole::runIdle() {
    if (idle_) idle_();
}

}  // namespace orvel
