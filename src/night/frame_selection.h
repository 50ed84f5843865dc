// Frames chosen by name patterns, each telling its band by its filter card, as capture programs
// write them; and the hint for a folder whose frames the classic names do not find.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "night/band.h"
#include "night/discovery.h"

namespace orvel {

struct FrameSelection {
    std::vector<std::string> patterns;   // shell wildcards (* ? [...]), letter case ignored
    std::string bandKeyword = "FILTER";  // the card that names a frame's filter
    std::vector<std::pair<std::string, Band>> bandNames;  // filter names mapped by the user,
                                                          // before the usual ones
    std::string bayer;  // the mosaic pattern at every frame's first pixel, whatever the header
                        // says (empty: BAYERPAT or COLORTYP moved by XBAYROFF, YBAYROFF)

    bool active() const { return !patterns.empty(); }
};

// The band a filter name stands for: the user's names first, then the usual ones (R, Red, Rc,
// r'; G, Green, V, g'; B, Blue, b'), letter case and blanks ignored. Empty for any other name.
std::optional<Band> bandOfFilter(std::string_view filter, const FrameSelection& selection);

// Whether a name matches a shell wildcard pattern, letter case ignored.
bool matchesPattern(std::string_view name, std::string_view pattern);

// The frames of the folder that match any pattern (ordinary files, no hidden names), ordered
// by band, then by DATE-OBS, then a plain file before a compressed one (.gz, .fz), then by name
// (byte order); a colour cube or mosaic gives one frame per band. A frame without the filter
// card takes its band from the letter before its extension (bandBeforeExtension). A frame whose
// band cannot be told comes last, listed with the reason it is left out. A frame that repeats
// an earlier one's exposure (fpack keeps x.fits beside x.fits.fz) is listed but left out: the
// plain file is the one kept.
ImageFileList selectFrames(const std::filesystem::path& folder, const FrameSelection& selection);

// The console's line for a list in which frames without the filter card took their band from
// their name: how many and by which rule. Empty when there are none.
std::string bandsFromNamesNote(const ImageFileList& list, const FrameSelection& selection);

// For a folder whose frames the classic names do not find: what FITS frames it holds and the
// command that measures them. Empty when it holds none.
std::string captureHint(const std::filesystem::path& folder);

}  // namespace orvel
