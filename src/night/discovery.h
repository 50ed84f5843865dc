// Finding the frames of one night in a folder and sorting them into bands.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "night/band.h"
#include "night/frame_source.h"

namespace orvel {

constexpr int kMaxImageFiles = 1000;  // names kept in one run

struct ListedFile {
    std::string name;        // bare file name; NAME[R], NAME[G], NAME[B] for a colour frame's bands
    Band band = Band::red;   // from the letter before ".fit", or the frame's filter card
    bool bandKnown = true;   // false: listed, but left out (whyLeftOut says why)
    std::string whyLeftOut;  // set when the frame is listed but cannot be measured
    FrameSource source;      // the file and the part of it that holds the frame
};

struct ImageFileList {
    std::vector<ListedFile> files;    // red first, then green, then blue (then any whose band
                                      // cannot be told)
    std::array<int, 3> bandCounts{};  // number of red, green and blue names
    int ignored = 0;                  // matching names beyond the limit, left out
};

// The band of a name from the fifth-from-last character, letter case ignored; empty when that
// character is not a band letter.
std::optional<Band> bandOfName(std::string_view name);

// The names of the folder's ordinary files (a link to one counts), hidden names left out, in
// the order the folder yields them; none for a folder that cannot be read.
std::vector<std::string> ordinaryFileNames(const std::filesystem::path& folder);

// The names in the folder matching "*<letter>.fit" (case ignored), ordinary files only, no
// hidden names, sorted by their upper-cased bytes (ties by the raw bytes).
std::vector<std::string> matchingNames(const std::filesystem::path& folder, char letter);

// The frames of the folder: every band's matching names in turn, up to the limit.
ImageFileList discoverImages(const std::filesystem::path& folder);

}  // namespace orvel
