// The site and target coordinates typed by the user.
#pragma once

namespace orvel {

// One typed angle: three fields and the decimal value computed from them.
struct TypedAngle {
    float whole = 0.0f;    // degrees (hours for right ascension), as typed
    float minutes = 0.0f;  // minutes, as typed (may be negative or fractional)
    float seconds = 0.0f;  // seconds, as typed
    float sign = 1.0f;     // +1 or -1, from the degrees field alone; always +1 for right ascension
    float value = 0.0f;    // decimal degrees (hours for right ascension)
};

struct ObservingSetup {
    TypedAngle latitude;        // site latitude, degrees, north positive
    TypedAngle longitude;       // site longitude, degrees, east positive
    TypedAngle rightAscension;  // target right ascension, hours
    TypedAngle declination;     // target declination, degrees, north positive
};

}  // namespace orvel
