#include "platform/scripted_console.h"

#include "base/typed_line.h"

namespace orvel {

ScriptedConsole::ScriptedConsole(std::vector<std::string> lines)
    : lines_(lines.begin(), lines.end()) {}

std::optional<std::string> ScriptedConsole::readLine() {
    if (lines_.empty()) return std::nullopt;
    std::string line = std::move(lines_.front());
    lines_.pop_front();
    if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
    transcript_ += line;
    transcript_ += '\n';
    return line;
}

}  // namespace orvel
