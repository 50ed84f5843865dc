#include "observing/coordinates.h"

#include "platform/typed_line.h"
#include "run/dialogue.h"
#include "run/numeric.h"

namespace orvel {

TypedAngle angleFromLine(std::string_view line, bool signRule) {
    TypedAngle a;
    // Each field is stored as a 32-bit value as soon as it is read.
    a.whole = f32(numericValue(field(line, 1)));
    a.minutes = f32(numericValue(field(line, 2)));
    a.seconds = f32(numericValue(field(line, 3)));
    double degrees = a.whole;
    if (signRule && a.whole < 0.0f) {
        a.sign = -1.0f;
        degrees = -degrees;
    }
    const double sixty = 60.0f;
    a.value = f32(a.sign * (degrees + (a.minutes + a.seconds / sixty) / sixty));
    return a;
}

namespace {

TypedAngle askAngle(Console& console, std::string_view prompt, bool signRule) {
    console.endLine();
    console.printLine(prompt);
    return angleFromLine(readAnswer(console), signRule);
}

void logAngle(RunLog& log, std::string_view label, const TypedAngle& a) {
    // Sign factor times the non-negative degrees is the degrees field as typed.
    log.text(label).num(a.whole).text(", ").num(a.minutes).text(", ").num(a.seconds).end();
}

}  // namespace

ObservingSetup readObservingSetup(Console& console, RunLog& log) {
    ObservingSetup s;
    s.latitude = askAngle(console, "Input the Latitude of site (D,M,S, South is negative)- ", true);
    s.longitude = askAngle(console, "Input the Longitude of site (D,M,S, West is negative)- ", true);
    s.rightAscension = askAngle(console, "Input the RA of target star (H,M,S)- ", false);
    s.declination = askAngle(console, "Input the Dec of target star (D,M,S)- ", true);
    logObservingSetup(s, log);
    return s;
}

void logObservingSetup(const ObservingSetup& s, RunLog& log) {
    log.end();
    logAngle(log, "Site Latitude (d,m,s) = ", s.latitude);
    logAngle(log, "Site Longitude (d,m,s) = ", s.longitude);
    logAngle(log, "Star RA (h,m,s) = ", s.rightAscension);
    logAngle(log, "Star Dec (d,m,s) = ", s.declination);
}

}  // namespace orvel
