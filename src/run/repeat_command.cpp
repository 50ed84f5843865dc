#include "run/repeat_command.h"

#include <charconv>
#include <cmath>

#include "base/display_text.h"

namespace orvel {

namespace {

// The shortest text a number is read back from as the same 32-bit value, without an exponent.
std::string exactText(float v) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr;
    return std::string(text, end);
}

// A pick in window pixels as image pixels "COL,ROW": the window pixel times the reduction.
std::string imagePixels(float x, float y, float factor) {
    return exactText(factor * x) + "," + exactText(factor * y);
}

// "D,M,S" read back as the same three fields; the degrees of "-0" keep their minus.
std::string angleText(const TypedAngle& a) {
    const std::string whole =
        a.whole == 0.0f && a.sign < 0.0f ? std::string("-0") : exactText(a.whole);
    return whole + "," + exactText(a.minutes) + "," + exactText(a.seconds);
}

// The options that stand for the answers: the coordinates typed, the picks, the removals, the
// graph saved.
std::vector<std::string> answerWords(const RunAnswers& a) {
    std::vector<std::string> words = {"orvel", "--dir", a.folder.string()};
    static constexpr std::array<const char*, kCoordinates> kOptions = {"--lat", "--lon", "--ra",
                                                                       "--dec"};
    const std::array<const TypedAngle*, kCoordinates> angles = {
        &a.setup.latitude, &a.setup.longitude, &a.setup.rightAscension, &a.setup.declination};
    // A coordinate taken from the frames is left to them, as the unattended run takes it too.
    for (std::size_t i = 0; i < kCoordinates; ++i)
        if (!a.taken[i]) words.insert(words.end(), {kOptions[i], angleText(*angles[i])});
    // Without a frame shown nothing was picked: the options are needed but never used.
    const PicksMade p = a.picks.value_or(PicksMade{{{0.0f, 0.0f}}, {{0.0f, 0.0f}}, 1.0f});
    const float f = p.screenFactor;
    // Every click in order, as the log has them; the last of each kind is the one taken.
    for (const auto& [x, y] : p.stars) words.insert(words.end(), {"--star", imagePixels(x, y, f)});
    for (const auto& [x, y] : p.backgrounds)
        words.insert(words.end(), {"--background", imagePixels(x, y, f)});
    if (f != 1.0f) words.insert(words.end(), {"--screen-factor", exactText(f)});
    for (const FrameNameEdit& e : a.edits)
        words.insert(words.end(), {e.restore ? "--restore" : "--remove", e.name});
    if (a.graphSaved) words.insert(words.end(), {"--graph", (a.folder / "ORVEL.bmp").string()});
    words.insert(words.end(), a.givenWords.begin(), a.givenWords.end());
    return words;
}

}  // namespace

std::string shellWord(std::string_view word) {
    // Characters that mean nothing to a shell anywhere in a word ('=' and '~' only at its start,
    // so they are quoted too).
    const auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_-+,./:@%").find(c) != std::string_view::npos;
    };
    bool quote = word.empty();
    for (const char c : word) quote = quote || !plain(c);
    if (!quote) return std::string(word);
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::optional<std::string> repeatCommand(const RunAnswers& answers) {
    std::string line;
    for (const std::string& word : answerWords(answers)) {
        // A control character would be shown as an escape, and the escape is another name.
        if (displaySafe(word) != word) return std::nullopt;
        if (!line.empty()) line += ' ';
        line += shellWord(word);
    }
    return line;
}

std::string repeatText(const RunAnswers& answers) {
    if (const std::optional<std::string> command = repeatCommand(answers)) return *command;
    return "(The command that repeats this run cannot be printed: the folder, a frame's name or "
           "an option holds control characters.)";
}

}  // namespace orvel
