// The three bands of a night and the one place that names them: code, letter, label, index.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace orvel {

enum class Band { red, green, blue };

// The bands in the order of the frame list, the fit and every report.
inline constexpr std::array<Band, 3> kBands = {Band::red, Band::green, Band::blue};

// Position in per-band tables: 0 red, 1 green, 2 blue.
constexpr std::size_t bandIndex(Band b) {
    return static_cast<std::size_t>(b);
}

// The band code of the log's "File type" line and of the outlier dialogue: 1, 2, 3.
constexpr int bandCode(Band b) {
    return static_cast<int>(b) + 1;
}

// The band of a code 1..3; empty for any other number.
constexpr std::optional<Band> bandFromCode(int code) {
    if (code < 1 || code > 3) return std::nullopt;
    return static_cast<Band>(code - 1);
}

// The letter that ends a frame name before ".fit", and the band column of the results files.
constexpr char bandLetter(Band b) {
    return "RGB"[bandIndex(b)];
}
constexpr std::string_view bandLetterText(Band b) {
    return std::string_view("RGB").substr(bandIndex(b), 1);
}

// The upper-case name of the report's lines: RED, GREEN, BLUE.
constexpr std::string_view bandLabel(Band b) {
    constexpr std::array<std::string_view, 3> kLabels = {"RED", "GREEN", "BLUE"};
    return kLabels[bandIndex(b)];
}

}  // namespace orvel
