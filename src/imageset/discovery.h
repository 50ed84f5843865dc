// Finding the frames of one night in a folder and sorting them into bands.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/console.h"
#include "run/run_log.h"

namespace orvel {

constexpr int kMaxImageFiles = 1000;  // names kept in one run

struct ImageFileList {
    std::vector<std::string> names;   // bare file names: red first, then green, then blue
    std::array<int, 3> bandCounts{};  // number of red, green and blue names
    int ignored = 0;                  // matching names beyond the limit, left out
};

// Band number of a name from the fifth-from-last character, letter case ignored:
// 1 red, 2 green, 3 blue, 0 none.
int bandOfName(std::string_view name);

// The names in the folder matching "*<letter>.fit" (case ignored), ordinary files only, no
// hidden names, sorted by their upper-cased bytes (ties by the raw bytes).
std::vector<std::string> matchingNames(const std::filesystem::path& folder, char bandLetter);

// Builds the list and writes the discovery lines to the log (and a console line when names
// beyond the limit are ignored).
ImageFileList discoverImages(const std::filesystem::path& folder, RunLog& log, Console& console);

}  // namespace orvel
