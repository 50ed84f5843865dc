// The console on a terminal (or on pipes): output goes straight to the output descriptor, typed
// lines come from the input descriptor. While it waits for a line it keeps calling an idle hook,
// so that a graphics window can go on painting and recording clicks.
#pragma once

#include <functional>
#include <string>

#include "platform/console.h"

namespace orvel {

class TerminalConsole : public Console {
  public:
    // Reads from inFd and writes to outFd (standard input and output by default). The
    // descriptors stay owned by the caller.
    explicit TerminalConsole(int inFd = 0, int outFd = 1);
    ~TerminalConsole() override;
    TerminalConsole(const TerminalConsole&) = delete;
    TerminalConsole& operator=(const TerminalConsole&) = delete;

    // Sets the terminal window's title (only when the output is a terminal).
    void setTitle(std::string_view title) override;
    // Writes at once, without buffering, so a prompt shows before the program waits; control
    // characters other than the line feed are written as escapes (displaySafe).
    void print(std::string_view text) override;
    // One line, at most 10000 characters; empty optional at the end of the input. A terminal
    // edits the line itself; bytes from a pipe or file follow the typing rules (printable
    // characters kept, backspace removes the last one, other control characters ignored) and
    // the line is echoed to the output, as a terminal would have shown the typing.
    std::optional<std::string> readLine() override;
    // Waits 100 ms (calling the idle hook), then asks the terminal to raise its window.
    void toFront() override;

    // Called about every 20 ms while the console waits for input.
    void setIdle(std::function<void()> idle) { idle_ = std::move(idle); }

  private:
    // Moves bytes from the input into pending_; false at the end of the input.
    bool fillPending();
    // Takes one complete line out of pending_, if it holds one.
    std::optional<std::string> takeLine(bool atEnd);
    void runIdle();

    int inFd_;
    int outFd_;
    bool inIsTerminal_;
    bool outIsTerminal_;
    bool inputEnded_ = false;
    bool restoreModes_ = false;  // the terminal's line modes were changed and are put back
    unsigned int savedLocalModes_ = 0;
    std::string pending_;        // bytes read but not yet handed out as lines
    bool skipLineFeed_ = false;  // a CR ended the last line: a LF right after it belongs to it
    std::function<void()> idle_;
};

}  // namespace orvel
