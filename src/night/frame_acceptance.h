// Which frames can take part: judged from their header before any pixel is read, from the
// pixels the file holds, and from what was measured on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fits/image_header.h"
#include "night/night_record.h"

namespace orvel {

// The frame size every later frame must share (the frames are co-registered).
struct ReferenceSize {
    bool known = false;  // set by the first usable frame
    int columns = 0;     // pixels per row
    int rows = 0;        // rows
};

// Why a frame with this header cannot take part, or empty when it can.
std::string headerProblem(const ImageHeader& header, const ReferenceSize& reference);

// Why the DATE-OBS (with TIME-OBS) names no moment, or empty when it names one. 24:00:00 is
// the next day's start and a 60th second a leap second.
std::string dateProblem(const ImageHeader& header);

// Why a frame whose file holds `samples` whole samples cannot take part (its data end before
// the image does), or empty when it can.
std::string dataProblem(const ImageHeader& header, std::int64_t samples);

// The level at or above which an aperture pixel is saturated (DC): SATURATE when the header has
// it, else the largest sample of an integer format after BSCALE and BZERO; empty for floating-
// point data without SATURATE, whose saturation shows as a flat top.
std::optional<float> saturationLevel(const ImageHeader& header);

// Where in a frame's measurement a reason to leave it out was found.
enum class MeasuredStage { rings, sky };

struct MeasurementProblem {
    MeasuredStage stage;  // the log lines up to this block are written before the reason
    std::string reason;
};

// Why a measured frame cannot give a true point: no positive signal, a saturated star, the
// star at or below the horizon. Empty when it can.
std::optional<MeasurementProblem> measurementProblem(const ImageHeader& header,
                                                     const FrameMeasurement& m);

// Warnings that keep the frame but tell the user: a brightest pixel hardly above the sky, the
// cosmic rays or hot pixels replaced in the photometry (one sentence), a low elevation. Each a
// sentence without the frame's name.
std::vector<std::string> measurementWarnings(const FrameMeasurement& m);

}  // namespace orvel
