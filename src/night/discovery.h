// Finding the frames of one night in a folder and sorting them into bands.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "night/band.h"
#include "night/exposure_identity.h"
#include "night/frame_source.h"

namespace orvel {

constexpr int kMaxImageFiles = 1000;  // names kept in one run

struct ListedFile {
    std::string name;       // bare file name; NAME[R], NAME[G], NAME[B] for a colour frame's bands
    Band band = Band::red;  // from the letter before ".fit", the filter card, or the name
    bool bandKnown = true;  // false: listed, but left out (whyLeftOut says why)
    bool bandFromName = false;  // chosen by pattern without a filter card: the band is the
                                // letter before the extension
    std::string whyLeftOut;     // set when the frame is listed but cannot be measured
    FrameSource source;         // the file and the part of it that holds the frame
    ExposureIdentity exposure;  // its moment and size, to find the same exposure listed twice
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

// The band of a FITS frame's name from the letter just before its extension (.fit, .fits,
// .fts, each alone or followed by .gz or .fz; letter case ignored): "x_R.fits" and
// "M42-b.fit.fz" tell theirs. The letter must not end a word ("Clear.fits", "Blob.fts" tell
// none), and a name without a FITS extension tells none.
std::optional<Band> bandBeforeExtension(std::string_view name);

// The names of the folder's ordinary files (a link to one counts), hidden names left out, in
// the order the folder yields them; none for a folder that cannot be read.
std::vector<std::string> ordinaryFileNames(const std::filesystem::path& folder);

// The names in the folder matching "*<letter>.fit" (case ignored), ordinary files only, no
// hidden names, sorted by their upper-cased bytes (ties by the raw bytes).
std::vector<std::string> matchingNames(const std::filesystem::path& folder, char letter);

// The frames of the folder: every band's matching names in turn, up to the limit; a frame that
// repeats an earlier exposure is listed but left out (see leaveOutRepeatedExposures).
ImageFileList discoverImages(const std::filesystem::path& folder);

// Leaves out, with the reason "the same exposure as NAME", every frame of the list whose band,
// moment and size (see sameExposure) are those of an earlier frame that is not left out: the
// first in the list's order is kept. Frames whose header names no moment are never the same
// exposure; the bands of one colour file are different frames.
void leaveOutRepeatedExposures(std::vector<ListedFile>& files);

}  // namespace orvel
