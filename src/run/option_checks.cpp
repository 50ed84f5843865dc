#include "run/option_checks.h"

#include <cmath>
#include <utility>

#include "analysis/colour_mosaic.h"
#include "base/typed_line.h"
#include "observing/coordinates.h"
#include "picture/canvas.h"

namespace orvel {

namespace {

// A whole field that is a finite number, read by the same rules as a typed answer.
bool isNumber(std::string_view text) {
    const LeadingNumber n = leadingNumber(text);
    return n.length > 0 && n.length == text.size() && std::isfinite(n.value);
}

std::size_t commasIn(std::string_view text) {
    std::size_t commas = 0;
    for (char c : text) commas += c == ',';
    return commas;
}

// "D,M,S": one to three numeric fields.
bool isAngle(std::string_view text) {
    const std::size_t commas = commasIn(text);
    if (commas > 2) return false;
    for (int i = 1; i <= static_cast<int>(commas) + 1; ++i)
        if (!isNumber(field(text, i))) return false;
    return true;
}

// "option --name 'value' " and what is wrong with the value.
std::string refusal(std::string_view name, const std::string& value, const char* wanted) {
    return "option " + std::string(name) + " '" + value + "' " + wanted;
}

// "option --name " and what it lacks.
std::string lacking(std::string_view name, const char* wanted) {
    return "option " + std::string(name) + " " + wanted;
}

// "NAME=R": a filter name and the band letter it stands for.
std::optional<std::pair<std::string, Band>> bandMapping(std::string_view text) {
    const std::size_t eq = text.rfind('=');
    if (eq == std::string_view::npos || eq == 0) return std::nullopt;
    const std::string letter = upperCase(text.substr(eq + 1));
    for (const Band b : kBands)
        if (letter == bandLetterText(b)) return std::make_pair(std::string(text.substr(0, eq)), b);
    return std::nullopt;
}

}  // namespace

OptionCheck<BatchOptions> angleAnswer(std::string BatchOptions::*target, AngleLimits limits) {
    return [target, limits](std::string_view name, const std::string& value, BatchOptions& o) {
        if (!isAngle(value)) return Refusal(refusal(name, value, "is not of the form D,M,S"));
        const std::string fault = angleFault(angleFromLine(value, limits.signRule), limits);
        if (!fault.empty()) return Refusal(refusal(name, value, fault.c_str()));
        o.*target = value;
        return Refusal();
    };
}

OptionCheck<BatchOptions> pixelAnswer(float BatchOptions::*column, float BatchOptions::*row,
                                      std::vector<std::pair<float, float>> BatchOptions::*all) {
    return [column, row, all](std::string_view name, const std::string& value, BatchOptions& o) {
        if (commasIn(value) != 1 || !isNumber(field(value, 1)) || !isNumber(field(value, 2)))
            return Refusal(refusal(name, value, "is not of the form COL,ROW"));
        o.*column = static_cast<float>(numericValue(field(value, 1)));
        o.*row = static_cast<float>(numericValue(field(value, 2)));
        (o.*all).emplace_back(o.*column, o.*row);
        return Refusal();
    };
}

Refusal readScreenFactor(std::string_view name, const std::string& value, BatchOptions& o) {
    // As large as a reduction can be: a frame of 32767 pixels on a screen of one.
    constexpr double kLargest = 32768.0;
    const double n = isNumber(value) ? numericValue(value) : 0.0;
    if (!(n >= 1.0 && n <= kLargest && n == std::floor(n)))
        return refusal(name, value, "is not a whole number from 1 to 32768");
    o.screenFactor = static_cast<int>(n);
    return std::nullopt;
}

Refusal readRemoval(std::string_view name, const std::string& value, BatchOptions& o) {
    if (value.empty()) return lacking(name, "needs a frame name");
    o.edits.push_back({value, name == "--restore"});
    return std::nullopt;
}

Refusal readGraphFile(std::string_view name, const std::string& value, BatchOptions& o) {
    if (value.empty()) return lacking(name, "needs a file name");
    o.graphFile = value;
    return std::nullopt;
}

Refusal readFolder(std::string_view name, const std::string& value, BatchOptions& o) {
    std::error_code ec;
    if (!std::filesystem::is_directory(value, ec)) return refusal(name, value, "is not a folder");
    o.run.folder = value;
    return std::nullopt;
}

Refusal readPattern(std::string_view name, const std::string& value, BatchOptions& o) {
    if (value.empty()) return lacking(name, "needs a pattern");
    o.run.frames.patterns.push_back(value);
    return std::nullopt;
}

Refusal readBandName(std::string_view name, const std::string& value, BatchOptions& o) {
    const auto mapping = bandMapping(value);
    if (!mapping) return refusal(name, value, "is not of the form NAME=R, NAME=G or NAME=B");
    o.run.frames.bandNames.push_back(*mapping);
    return std::nullopt;
}

Refusal readBandKeyword(std::string_view name, const std::string& value, BatchOptions& o) {
    if (value.empty() || value.size() > 8) return refusal(name, value, "is not a FITS keyword");
    o.run.frames.bandKeyword = upperCase(value);
    return std::nullopt;
}

Refusal readBayer(std::string_view name, const std::string& value, BatchOptions& o) {
    if (!mosaicLayout(value, 0, 0)) return refusal(name, value, "is not RGGB, BGGR, GRBG or GBRG");
    o.run.frames.bayer = value;
    return std::nullopt;
}

Refusal readPlotFile(std::string_view name, const std::string& value, BatchOptions& o) {
    if (!pictureFormatOf(value)) return refusal(name, value, "must end in .png, .svg or .pdf");
    o.run.plotFile = value;
    return std::nullopt;
}

Refusal readPlotAxis(std::string_view name, const std::string& value, BatchOptions& o) {
    if (value != "mag" && value != "ln") return refusal(name, value, "must be mag or ln");
    o.run.plotMagnitudes = value == "mag";
    return std::nullopt;
}

Refusal readFieldFile(std::string_view name, const std::string& value, BatchOptions& o) {
    if (pictureFormatOf(value) != PictureFormat::png)
        return refusal(name, value, "must end in .png");
    o.run.fieldFile = value;
    return std::nullopt;
}

Refusal readWeightAltitude(std::string_view name, const std::string& value, BatchOptions& o) {
    // Below 3 degrees the airmass formula gives no airmass (Hardie's turns over there).
    if (!isNumber(value) || !(numericValue(value) >= 3 && numericValue(value) <= 90))
        return refusal(name, value, "is not an altitude from 3 up to 90 degrees");
    o.run.weightAltitudes.push_back(numericValue(value));
    return std::nullopt;
}

Refusal readReportFile(std::string_view name, const std::string& value, BatchOptions& o) {
    if (value.empty()) return lacking(name, "needs a file name");
    o.run.reportFile = value;
    return std::nullopt;
}

}  // namespace orvel
