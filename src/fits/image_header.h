// The values taken from one FITS primary header.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace orvel {

struct ImageHeader {
    // Which of the keywords the header holds (each found one is logged).
    bool hasBitpix = false;    // a BITPIX card
    bool hasSize = false;      // a NAXIS1 card (the rows come from the card after it)
    bool hasBscale = false;    // a BSCALE card
    bool hasBzero = false;     // a BZERO card
    bool hasExposure = false;  // an EXPTIME card (or, without one, an EXPOSURE card)
    int bitpix = 0;            // BITPIX: 8, 16, 32, -32 or -64 are decoded; 0 when absent
    int columns = 0;           // NAXIS1: pixels per row
    int rows = 0;              // value of the card right after NAXIS1: number of rows
    float bscale = 1.0f;       // BSCALE, 1 when absent
    float bzero = 0.0f;        // BZERO, 0 when absent
    bool hasDate = false;      // a DATE-OBS card was found
    int year = 0;              // DATE-OBS fields, UTC, whole numbers (from the other time cards
                               // where DATE-OBS is missing or local)
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool hasTimeOfDay = false;    // the time of day came from DATE-OBS or, for a DATE-OBS that
                                  // holds only the date, from TIME-OBS
    double secondFraction = 0.0;  // the fraction of a second beyond `second` (0 to 1), where
                                  // the time card gives one; only the precise times use it
    std::string timeCards;        // the cards the UTC moment came from when they were not a
                                  // UTC DATE-OBS (e.g. "UT-OBS"); empty otherwise
    float exposure = 0.0f;        // EXPTIME, or EXPOSURE without it, seconds
    int planes = 1;               // NAXIS3 when the header has it: image planes (1 otherwise)
    std::string imageType;        // IMAGETYP as written, quotes and trailing blanks removed;
                                  // empty when absent
    bool hasSaturate = false;     // a SATURATE card
    float saturate = 0.0f;        // SATURATE: the value (DC, after BSCALE and BZERO) at which
                                  // pixels saturate
    double gain = std::nan("");   // EGAIN, or GAIN up to 20 when there is no EGAIN: electrons
                                  // per ADU (NaN when absent, not positive or a setting)
    double gainSetting = std::nan("");  // a GAIN above 20 without EGAIN: the camera's setting,
                                        // not used (NaN otherwise)
    double readNoise = std::nan("");    // RDNOISE: read noise, electrons rms (NaN when absent or
                                        // negative)
    double telescopeAltitude = std::nan("");  // the telescope's own altitude of the frame,
                                              // degrees (CENTALT, TELALT, OBJCTALT, ALTITUDE,
                                              // or from AIRMASS); NaN when none is written
    std::string altitudeCard;                 // the card it came from; empty without one
    int cardCount = 0;                        // 36 x number of header blocks
    std::int64_t dataStart = 0;               // 1-based byte position of the first pixel byte
};

}  // namespace orvel
