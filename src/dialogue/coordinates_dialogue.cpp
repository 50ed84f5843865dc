#include "dialogue/coordinates_dialogue.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/number_format.h"
#include "base/typed_line.h"
#include "dialogue/dialogue.h"
#include "dialogue/frame_setup.h"
#include "night/night_log.h"
#include "observing/coordinates.h"

namespace orvel {

namespace {

// One coordinate question: its prompt and how its fields are named.
struct AngleQuestion {
    std::string_view prompt;
    AngleLimits limits;        // the sign rule and the values the angle may take
    std::string_view units;    // "degrees" or "hours"
    std::string_view example;  // a correctly typed answer
};

// Whether every comma-separated field holds nothing but its number (or nothing), and there are
// at most three of them.
bool fieldsHoldOnlyNumbers(std::string_view line) {
    if (!field(line, 4).empty()) return false;
    for (int i = 1; i <= 3; ++i) {
        const std::string text = field(line, i);
        if (!text.empty() && leadingNumber(text).length != text.size()) return false;
    }
    return true;
}

// The angle in the log's form, then in decimal units.
std::string understood(const TypedAngle& a, std::string_view units) {
    return "Understood as " + wholeText(a) + "," + formatShort(a.minutes) + "," +
           formatShort(a.seconds) + " =" + formatShort(a.value) + std::string(units) + ".";
}

// The frames' value, offered before its question (Enter takes it).
std::string offerLine(const OfferedAngle& offered, int i) {
    return coordinateHeading(i) + " from the frames (" + offered.source + "): " + offered.typed +
           " \xe2\x80\x94 press Enter to take it";
}

// The angle typed, or the frames' when the answer is empty and they offer one (`taken` then).
TypedAngle askAngle(Console& console, const AngleQuestion& q,
                    const std::optional<OfferedAngle>& offered, int i, bool& taken) {
    console.endLine();
    if (offered) console.printLine(offerLine(*offered, i));
    console.printLine(q.prompt);
    for (;;) {
        const std::string line = readAnswer(console);
        taken = offered && line.find_first_not_of(" \t") == std::string::npos;
        const TypedAngle a = taken ? offered->angle : angleFromLine(line, q.limits.signRule);
        const std::string fault = taken ? std::string() : angleFault(a, q.limits);
        if (taken || (fieldsHoldOnlyNumbers(line) && fault.empty())) {
            console.printLine(understood(a, q.units));
            return a;
        }
        // An angle beyond its range would give airmasses of no sky: say why, ask the question
        // again.
        if (fieldsHoldOnlyNumbers(line)) {
            console.printLine("\"" + line + "\" " + fault + ".");
            console.printLine(q.prompt);
            continue;
        }
        // A line such as "-106 30 0" would silently read as -106,0,0: say so and ask again.
        console.printLine("\"" + line + "\" would be read as" + formatShort(a.whole) + "," +
                          formatShort(a.minutes) + "," + formatShort(a.seconds) + "; " +
                          std::string(q.units) + ", minutes and seconds are separated by " +
                          "commas, e.g. " + std::string(q.example) + ". Please type it again:");
    }
}

}  // namespace

ObservingSetup readObservingSetup(Console& console, RunLog& log, const FrameCoordinates& frames) {
    std::array<bool, kCoordinates> taken{};
    return readObservingSetup(console, log, frames, taken);
}

ObservingSetup readObservingSetup(Console& console, RunLog& log, const FrameCoordinates& frames,
                                  std::array<bool, kCoordinates>& taken) {
    static constexpr std::array<AngleQuestion, kCoordinates> kQuestions = {{
        {"Input the Latitude of site (D,M,S, South is negative)- ", kLatitudeLimits, "degrees",
         "35,0,0"},
        {"Input the Longitude of site (D,M,S, West is negative)- ", kLongitudeLimits, "degrees",
         "-106,30,0"},
        {"Input the RA of target star (H,M,S)- ", kRightAscensionLimits, "hours", "9,5,0"},
        {"Input the Dec of target star (D,M,S)- ", kDeclinationLimits, "degrees", "34,30,0"},
    }};
    ObservingSetup s;
    for (int i = 0; i < kCoordinates; ++i)
        setupCoordinate(s, i) =
            askAngle(console, kQuestions[static_cast<std::size_t>(i)], offeredCoordinate(frames, i),
                     i, taken[static_cast<std::size_t>(i)]);
    logObservingSetup(log, s);
    reportFrameCoordinates(frames, s, taken, false, console, log);
    return s;
}

}  // namespace orvel
