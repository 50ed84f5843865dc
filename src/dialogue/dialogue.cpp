#include "dialogue/dialogue.h"

#include "base/typed_line.h"
#include "platform/session_end.h"

namespace orvel {

std::string readAnswer(Console& console) {
    std::optional<std::string> line = console.readLine();
    if (!line) throw SessionEnded{"Console input ended."};
    return std::move(*line);
}

std::string ask(Console& console, std::string_view question) {
    console.print(question);
    return readAnswer(console);
}

bool askFor(Console& console, std::string_view question, char letter) {
    return answerIs(ask(console, question), letter);
}

}  // namespace orvel
