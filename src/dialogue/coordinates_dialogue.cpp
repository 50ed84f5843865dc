#include "dialogue/coordinates_dialogue.h"

#include <string_view>

#include "dialogue/dialogue.h"
#include "night/night_log.h"
#include "observing/coordinates.h"

namespace orvel {

namespace {

TypedAngle askAngle(Console& console, std::string_view prompt, bool signRule) {
    console.endLine();
    console.printLine(prompt);
    return angleFromLine(readAnswer(console), signRule);
}

}  // namespace

ObservingSetup readObservingSetup(Console& console, RunLog& log) {
    ObservingSetup s;
    s.latitude = askAngle(console, "Input the Latitude of site (D,M,S, South is negative)- ", true);
    s.longitude = askAngle(console, "Input the Longitude of site (D,M,S, West is negative)- ", true);
    s.rightAscension = askAngle(console, "Input the RA of target star (H,M,S)- ", false);
    s.declination = askAngle(console, "Input the Dec of target star (D,M,S)- ", true);
    logObservingSetup(log, s);
    return s;
}

}  // namespace orvel
