#include "simulate/option_checks.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>

#include "base/typed_line.h"
#include "fits/pixel_decoder.h"

namespace orvel::simulate {

namespace {

// "--name" and what is wrong with its value.
std::string wrong(std::string_view name, const char* what) {
    return std::string(name) + " " + what;
}

// A whole number as std::stoi reads it (what follows the digits is ignored); empty when the
// value does not start with one or it is beyond an int.
std::optional<int> wholeNumber(const std::string& value) {
    try {
        return std::stoi(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::string badValue(std::string_view name) {
    return "bad value for " + std::string(name);
}

}  // namespace

Check text(std::string NightOptions::*target) {
    return [target](std::string_view, const std::string& value, NightOptions& o) {
        o.*target = value;
        return Refusal();
    };
}

Check real(double NightOptions::*target) {
    return [target](std::string_view, const std::string& value, NightOptions& o) {
        o.*target = numericValue(value);
        return Refusal();
    };
}

Check triple(double (NightOptions::*target)[3]) {
    return [target](std::string_view name, const std::string& value, NightOptions& o) {
        for (int i = 0; i < 3; ++i) {
            const std::string f = field(value, i + 1);
            if (f.empty()) return Refusal(wrong(name, "needs R,G,B"));
            (o.*target)[i] = numericValue(f);
        }
        return Refusal();
    };
}

Check turn(bool NightOptions::*target, bool value) {
    return [target, value](std::string_view, const std::string&, NightOptions& o) {
        o.*target = value;
        return Refusal();
    };
}

Check oneOf(std::string NightOptions::*target, std::initializer_list<std::string_view> words,
            const char* wanted) {
    return [target, list = std::vector<std::string_view>(words), wanted](
               std::string_view name, const std::string& value, NightOptions& o) {
        for (const std::string_view word : list) {
            if (value != word) continue;
            o.*target = value;
            return Refusal();
        }
        return Refusal(wrong(name, wanted));
    };
}

Check spoil(FileKind kind) {
    return [kind](std::string_view name, const std::string& value, NightOptions& o) {
        const std::optional<int> frame = wholeNumber(value);
        if (!frame) return Refusal(badValue(name));
        if (!o.faults.emplace(*frame, kind).second)
            return Refusal("frame " + std::to_string(*frame) + " is named by two options");
        return Refusal();
    };
}

Refusal readDate(std::string_view name, const std::string& value, NightOptions& o) {
    CivilTime date;
    if (!parseDate(value, date)) return wrong(name, "needs YYYY-MM-DD");
    o.date = value;
    return std::nullopt;
}

Refusal readFwhm(std::string_view name, const std::string& value, NightOptions& o) {
    o.fwhm = numericValue(value);
    if (!(o.fwhm > 0.0)) return wrong(name, "must be positive");
    return std::nullopt;
}

Refusal readSize(std::string_view name, const std::string& value, NightOptions& o) {
    int columns = 0, rows = 0;
    if (std::sscanf(value.c_str(), "%dx%d", &columns, &rows) != 2) return wrong(name, "needs WxH");
    if (columns < 1 || rows < 1) return wrong(name, "must be at least 1x1");
    if (static_cast<std::int64_t>(columns) * rows > kMaxImagePixels)
        return wrong(name, "too large");
    o.columns = columns;
    o.rows = rows;
    return std::nullopt;
}

Refusal readBitpix(std::string_view name, const std::string& value, NightOptions& o) {
    const std::optional<int> bitpix = wholeNumber(value);
    if (!bitpix) return badValue(name);
    if (*bitpix != 16 && *bitpix != -32) return wrong(name, "must be 16 or -32");
    o.bitpix = *bitpix;
    return std::nullopt;
}

Refusal readFrameCount(std::string_view name, const std::string& value, NightOptions& o) {
    const std::optional<int> frames = wholeNumber(value);
    if (!frames) return badValue(name);
    if (*frames < 1) return wrong(name, "must be at least 1");
    o.frames = *frames;
    return std::nullopt;
}

Refusal readStar(std::string_view name, const std::string& value, NightOptions& o) {
    if (field(value, 2).empty()) return wrong(name, "needs X,Y");
    o.starX = numericValue(field(value, 1));
    o.starY = numericValue(field(value, 2));
    return std::nullopt;
}

Refusal readSeed(std::string_view name, const std::string& value, NightOptions& o) {
    try {
        o.seed = std::stoull(value);
    } catch (const std::exception&) {
        return badValue(name);
    }
    return std::nullopt;
}

Refusal readTruthAirmass(std::string_view name, const std::string& value, NightOptions& o) {
    if (value != "described" && value != "precise")
        return wrong(name, "must be described or precise");
    o.preciseTruth = value == "precise";
    return std::nullopt;
}

Refusal readStamp(std::string_view name, const std::string& value, NightOptions& o) {
    if (value != "start" && value != "middle") return wrong(name, "must be start or middle");
    o.stampMiddle = value == "middle";
    return std::nullopt;
}

Refusal readFilterCard(std::string_view name, const std::string& value, NightOptions& o) {
    if (value.empty() || value.size() > 8) return wrong(name, "needs a keyword");
    o.filterCard = value;
    return std::nullopt;
}

Refusal readSeeingPower(std::string_view name, const std::string& value, NightOptions& o) {
    o.seeingPower = numericValue(value);
    if (!(o.seeingPower >= 0.0 && o.seeingPower <= 3.0)) return wrong(name, "must be from 0 to 3");
    o.changingNight = true;
    return std::nullopt;
}

Refusal readSkyEnd(std::string_view, const std::string& value, NightOptions& o) {
    o.skyEnd = numericValue(value);
    o.changingNight = true;
    return std::nullopt;
}

Refusal readNeighbour(std::string_view name, const std::string& value, NightOptions& o) {
    if (field(value, 2).empty()) return wrong(name, "needs DIST,FLUX");
    o.neighbourDistance = numericValue(field(value, 1));
    o.neighbourFlux = numericValue(field(value, 2));
    if (!(o.neighbourFlux >= 0.0) || !(o.neighbourDistance >= 0.0))
        return wrong(name, "needs a distance and a flux of 0 or more");
    o.changingNight = true;
    return std::nullopt;
}

Check count(int NightOptions::*target) {
    return [target](std::string_view name, const std::string& value, NightOptions& o) {
        const std::optional<int> n = wholeNumber(value);
        if (!n) return Refusal(badValue(name));
        if (*n < 0 || *n > 10000) return Refusal(wrong(name, "must be from 0 to 10000"));
        o.*target = *n;
        o.frameTraits = true;
        return Refusal();
    };
}

namespace {

// A pixel "X,Y" of the frame; false when it is not two whole numbers.
bool readPixel(const std::string& text, PixelPlace& place) {
    char end = 0;
    return std::sscanf(text.c_str(), "%d,%d%c", &place.column, &place.row, &end) == 2;
}

}  // namespace

Refusal readHotPixel(std::string_view name, const std::string& value, NightOptions& o) {
    PixelPlace place;
    if (!readPixel(value, place)) return wrong(name, "needs X,Y in whole pixels");
    o.hotPixelPlaces.push_back(place);
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readCosmicRay(std::string_view name, const std::string& value, NightOptions& o) {
    PixelPlace place;
    const std::size_t colon = value.find(':');
    const std::optional<int> frame = wholeNumber(value.substr(0, colon));
    if (colon == std::string::npos || !frame || !readPixel(value.substr(colon + 1), place))
        return wrong(name, "needs FRAME:X,Y");
    place.frame = *frame;
    o.cosmicRayPlaces.push_back(place);
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readCloud(std::string_view name, const std::string& value, NightOptions& o) {
    const std::size_t colon = value.find(':');
    const std::optional<int> frame = wholeNumber(value.substr(0, colon));
    const double dimming = colon == std::string::npos ? NAN : numericValue(value.substr(colon + 1));
    if (!frame || !(dimming >= 0.0 && dimming <= 0.99))
        return wrong(name, "needs FRAME:SHARE, the share from 0 to 0.99");
    o.clouds[*frame] = dimming;
    return std::nullopt;
}

Refusal readMoffat(std::string_view name, const std::string& value, NightOptions& o) {
    o.moffatBeta = numericValue(value);
    if (!(o.moffatBeta >= 1.5 && o.moffatBeta <= 20.0))
        return wrong(name, "must be from 1.5 to 20");
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readDrift(std::string_view name, const std::string& value, NightOptions& o) {
    if (field(value, 2).empty()) return wrong(name, "needs DX,DY");
    o.driftX = numericValue(field(value, 1));
    o.driftY = numericValue(field(value, 2));
    if (!std::isfinite(o.driftX) || !std::isfinite(o.driftY)) return wrong(name, "needs DX,DY");
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readMeridianFlip(std::string_view name, const std::string& value, NightOptions& o) {
    o.flipHours = numericValue(value);
    if (!(*o.flipHours >= 0.0)) return wrong(name, "must be 0 or more hours");
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readRotation(std::string_view name, const std::string& value, NightOptions& o) {
    o.rotationRate = numericValue(value);
    if (!std::isfinite(o.rotationRate)) return badValue(name);
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readDonut(std::string_view name, const std::string& value, NightOptions& o) {
    o.donutInner = numericValue(value);
    if (!(o.donutInner > 0.0 && o.donutInner < 1.0)) return wrong(name, "must be between 0 and 1");
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readAdcBits(std::string_view name, const std::string& value, NightOptions& o) {
    const std::optional<int> bits = wholeNumber(value);
    if (!bits) return badValue(name);
    if (*bits < 8 || *bits > 16) return wrong(name, "must be from 8 to 16");
    o.adcBits = *bits;
    o.frameTraits = true;
    return std::nullopt;
}

Refusal readAdcScale(std::string_view name, const std::string& value, NightOptions& o) {
    const std::optional<int> scale = wholeNumber(value);
    if (!scale) return badValue(name);
    if (*scale < 1 || *scale > 256 || (*scale & (*scale - 1)) != 0)
        return wrong(name, "must be a power of 2 from 1 to 256");
    o.adcScale = *scale;
    o.frameTraits = true;
    return std::nullopt;
}

}  // namespace orvel::simulate
