#include "dialogue/frame_setup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace orvel {

namespace {

constexpr double kTypedTolerance = 0.5;  // degrees a typed value may differ from the frames'

std::string degreesText(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", x);
    return text;
}

// A typed value far from the frames' (right ascension compared in degrees of arc along the
// equator, 15 per hour).
void warnTypedDifference(const OfferedAngle& offered, const TypedAngle& typed, int i,
                         ConsoleText& console) {
    const double scale = i == 2 ? 15.0 : 1.0;
    double difference = std::fabs(static_cast<double>(typed.value - offered.angle.value)) * scale;
    // Longitudes and right ascensions go round: 359 degrees apart are 1 apart.
    if (i == 1 || i == 2) difference = std::min(difference, 360.0 - difference);
    if (!(difference > kTypedTolerance)) return;
    console.printLine("Warning: the " + std::string(coordinateNames(i).label) + " typed differs" +
                      " from the frames' (" + offered.source + ": " + offered.typed + ") by " +
                      degreesText(difference) + " degrees.");
}

}  // namespace

CoordinateNames coordinateNames(int i) {
    static constexpr std::array<CoordinateNames, kCoordinates> kNames = {{
        {"site latitude", "--lat"},
        {"site longitude", "--lon"},
        {"star right ascension", "--ra"},
        {"star declination", "--dec"},
    }};
    return kNames[static_cast<std::size_t>(i)];
}

std::string coordinateHeading(int i) {
    std::string label(coordinateNames(i).label);
    label[0] = static_cast<char>(label[0] - 'a' + 'A');
    return label;
}

const std::optional<OfferedAngle>& offeredCoordinate(const FrameCoordinates& frames, int i) {
    switch (i) {
        case 0:
            return frames.latitude;
        case 1:
            return frames.longitude;
        case 2:
            return frames.rightAscension;
        default:
            return frames.declination;
    }
}

TypedAngle& setupCoordinate(ObservingSetup& setup, int i) {
    switch (i) {
        case 0:
            return setup.latitude;
        case 1:
            return setup.longitude;
        case 2:
            return setup.rightAscension;
        default:
            return setup.declination;
    }
}

void reportFrameCoordinates(const FrameCoordinates& frames, const ObservingSetup& setup,
                            const std::array<bool, kCoordinates>& taken, bool sayTaken,
                            ConsoleText& console, RunLog& log) {
    ObservingSetup s = setup;
    for (int i = 0; i < kCoordinates; ++i) {
        const std::optional<OfferedAngle>& offered = offeredCoordinate(frames, i);
        if (!offered) continue;
        const std::string label = coordinateHeading(i);
        if (taken[static_cast<std::size_t>(i)]) {
            const std::string line = label + " taken from " + offered->source;
            log.line(line);
            if (sayTaken) console.printLine(line);
        } else {
            warnTypedDifference(*offered, setupCoordinate(s, i), i, console);
        }
    }
    if (!frames.disagreement.empty())
        console.printLine("Warning: the frames disagree on the site or the star: " +
                          frames.disagreement + ", unlike the first frame.");
    if (!frames.flippedCard.empty() && taken[1])
        console.printLine("The frames' " + frames.flippedCard + " agrees with " +
                          frames.flipWitness +
                          " only as west positive: the site"
                          " longitude is taken as " +
                          frames.longitude->typed + ".");
}

}  // namespace orvel
