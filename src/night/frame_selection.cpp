#include "night/frame_selection.h"

#include <fnmatch.h>

#include <algorithm>
#include <array>
#include <set>
#include <tuple>

#include "base/typed_line.h"
#include "fits/fits_header.h"
#include "fits/frame_file.h"

namespace orvel {

namespace {

// A filter name compared without blanks, in upper case.
std::string filterKey(std::string_view name) {
    std::string key;
    for (const char c : name)
        if (c != ' ' && c != '\t') key += c;
    return upperCase(key);
}

// The names capture programs give the filters of the three bands.
constexpr std::array<std::pair<std::string_view, Band>, 11> kUsualFilters = {{
    {"R", Band::red},
    {"RED", Band::red},
    {"RC", Band::red},
    {"R'", Band::red},
    {"G", Band::green},
    {"GREEN", Band::green},
    {"V", Band::green},
    {"G'", Band::green},
    {"B", Band::blue},
    {"BLUE", Band::blue},
    {"B'", Band::blue},
}};

// The ordinary, not hidden, files of the folder, by name.
std::vector<std::string> folderFiles(const std::filesystem::path& folder) {
    std::vector<std::string> names = ordinaryFileNames(folder);
    std::sort(names.begin(), names.end());
    return names;
}

// A listed frame with what orders it: its band, then its moment.
struct Candidate {
    ListedFile listed;
    std::tuple<bool, int, int, int, int, int, int> when{};  // no time first flag, then Y M D h m s
};

// Whether a name ends in a compression's extension (.gz, .fz, any case).
bool compressedName(std::string_view name) {
    const std::string upper = upperCase(name);
    return upper.ends_with(".GZ") || upper.ends_with(".FZ");
}

// What the header of one file says about the frames it holds.
struct FileFrames {
    ImageHeader header;
    std::string filter;                  // the band keyword's value, as written
    std::optional<MosaicLayout> mosaic;  // a raw colour mosaic
    bool cube = false;                   // three planes, one per band
};

FileFrames readFileFrames(const FrameFile& f, const FrameSelection& selection) {
    FileFrames frames;
    frames.header = parseHeader(f.scan);
    readWriterTime(f.scan.text, frames.header);
    frames.filter = keywordString(f.scan.text, selection.bandKeyword);
    frames.cube = frames.header.planes == 3;
    std::string pattern = selection.bayer;
    if (pattern.empty()) pattern = keywordString(f.scan.text, "BAYERPAT");
    if (pattern.empty()) pattern = keywordString(f.scan.text, "COLORTYP");
    const auto offset = [&](std::string_view key) {
        return static_cast<int>(keywordNumber(f.scan.text, key).value_or(0.0));
    };
    // The user's pattern is the one at the first pixel; the header's moves by its offsets.
    const bool given = !selection.bayer.empty();
    if (!frames.cube)
        frames.mosaic =
            mosaicLayout(pattern, given ? 0 : offset("XBAYROFF"), given ? 0 : offset("YBAYROFF"));
    return frames;
}

// The reason a single-band frame has no band, or empty when it has one. Without the filter
// card the name may tell it, as the classic names do.
std::string bandProblem(const FileFrames& frames, const FrameSelection& selection,
                        ListedFile& listed) {
    if (frames.filter.empty()) {
        const std::optional<Band> named = bandBeforeExtension(listed.name);
        listed.bandKnown = named.has_value();
        listed.bandFromName = named.has_value();
        listed.band = named.value_or(Band::red);
        if (named) return {};
        return "it has no " + selection.bandKeyword +
               " card to tell its band, nor a band letter before its extension";
    }
    const std::optional<Band> band = bandOfFilter(frames.filter, selection);
    listed.bandKnown = band.has_value();
    listed.band = band.value_or(Band::red);
    if (band) return {};
    return "its " + selection.bandKeyword + " '" + frames.filter +
           "' names no band (--band NAME=R maps a filter name to a band)";
}

std::vector<Candidate> framesOfFile(const std::filesystem::path& folder, const std::string& name,
                                    const FrameSelection& selection) {
    Candidate base;
    base.listed.name = name;
    base.listed.source.file = name;
    base.listed.source.captureFile = true;
    const FrameFile f = openCaptureFrame(folder / name);
    if (!f.problem.empty() || !f.scan.endFound) {
        base.listed.bandKnown = false;
        base.listed.whyLeftOut = !f.problem.empty()
                                     ? f.problem
                                     : "its header has no END card before the end of the file";
        return {base};
    }
    const FileFrames frames = readFileFrames(f, selection);
    const ImageHeader& h = frames.header;
    base.when = {!h.hasDate, h.year, h.month, h.day, h.hour, h.minute, h.second};
    base.listed.exposure = exposureIdentity(h, f.scan.text);
    if (!frames.cube && !frames.mosaic) {
        base.listed.whyLeftOut = bandProblem(frames, selection, base.listed);
        return {base};
    }
    // A colour frame gives one frame per band, named after its file.
    std::vector<Candidate> bands;
    for (const Band b : kBands) {
        Candidate c = base;
        c.listed.name = name + "[" + std::string(bandLetterText(b)) + "]";
        c.listed.band = b;
        if (frames.cube) c.listed.source.plane = static_cast<int>(bandIndex(b));
        c.listed.source.mosaic = frames.mosaic;
        bands.push_back(std::move(c));
    }
    return bands;
}

}  // namespace

std::optional<Band> bandOfFilter(std::string_view filter, const FrameSelection& selection) {
    const std::string key = filterKey(filter);
    for (const auto& [name, band] : selection.bandNames)
        if (filterKey(name) == key) return band;
    for (const auto& [name, band] : kUsualFilters)
        if (name == key) return band;
    return std::nullopt;
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
    return ::fnmatch(std::string(pattern).c_str(), std::string(name).c_str(), FNM_CASEFOLD) == 0;
}

ImageFileList selectFrames(const std::filesystem::path& folder, const FrameSelection& selection) {
    std::vector<Candidate> candidates;
    for (const std::string& name : folderFiles(folder)) {
        const bool wanted =
            std::any_of(selection.patterns.begin(), selection.patterns.end(),
                        [&](const std::string& p) { return matchesPattern(name, p); });
        if (!wanted) continue;
        for (Candidate& c : framesOfFile(folder, name, selection))
            candidates.push_back(std::move(c));
    }
    // Band, then moment, then a plain file before a compressed one (the copy of the same
    // exposure that is kept), then name: frames whose band cannot be told come last.
    const auto rank = [](const Candidate& c) {
        return std::make_tuple(c.listed.bandKnown ? bandIndex(c.listed.band) : 3, c.when,
                               compressedName(c.listed.source.file),
                               std::string_view(c.listed.name));
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Candidate& a, const Candidate& b) { return rank(a) < rank(b); });
    ImageFileList list;
    for (Candidate& c : candidates) {
        if (static_cast<int>(list.files.size()) >= kMaxImageFiles) {
            ++list.ignored;
            continue;
        }
        if (c.listed.bandKnown) ++list.bandCounts[bandIndex(c.listed.band)];
        list.files.push_back(std::move(c.listed));
    }
    leaveOutRepeatedExposures(list.files);
    return list;
}

std::string bandsFromNamesNote(const ImageFileList& list, const FrameSelection& selection) {
    const auto count = std::count_if(list.files.begin(), list.files.end(),
                                     [](const ListedFile& f) { return f.bandFromName; });
    if (count == 0) return {};
    return std::to_string(count) + (count == 1 ? " frame" : " frames") + " without a " +
           selection.bandKeyword + " card " + (count == 1 ? "takes its" : "take their") +
           " band from the letter before the extension.";
}

namespace {

// The extension a pattern for this name would use: ".fits", ".fit.fz", in lower case.
std::string fitsSuffix(const std::string& name) {
    const std::string lower = [&] {
        std::string l = name;
        for (char& ch : l) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
        return l;
    }();
    std::size_t dot = lower.rfind('.');
    const std::string last = lower.substr(dot);
    if ((last == ".gz" || last == ".fz") && dot > 0) dot = lower.rfind('.', dot - 1);
    return lower.substr(dot);
}

// How many frames of the folder tell each band, are colour frames, or tell none.
struct FolderCounts {
    int total = 0;
    std::array<int, 3> bands{};  // frames whose FILTER names the band
    int named = 0;               // frames without FILTER whose name tells the band
    int colour = 0;
    std::set<std::string> suffixes;
};

std::string countsText(const std::array<int, 3>& bands) {
    return "R " + std::to_string(bands[0]) + ", G " + std::to_string(bands[1]) + ", B " +
           std::to_string(bands[2]);
}

FolderCounts countFolder(const std::filesystem::path& folder) {
    FolderCounts counts;
    const FrameSelection any;
    for (const std::string& name : folderFiles(folder)) {
        if (!hasFitsExtension(name)) continue;
        ++counts.total;
        counts.suffixes.insert(fitsSuffix(name));
        const std::vector<Candidate> frames = framesOfFile(folder, name, any);
        const ListedFile& first = frames[0].listed;
        if (frames.size() == 3)
            ++counts.colour;
        else if (first.bandFromName)
            ++counts.named;
        else if (first.bandKnown)
            ++counts.bands[bandIndex(first.band)];
    }
    return counts;
}

}  // namespace

std::string captureHint(const std::filesystem::path& folder) {
    const FolderCounts counts = countFolder(folder);
    if (counts.total == 0) return {};
    const int banded = counts.bands[0] + counts.bands[1] + counts.bands[2];
    // Each kind of frame found, with its share of the folder.
    const std::vector<std::pair<int, std::string>> kinds = {
        {banded, "name their band in FILTER (" + countsText(counts.bands) + ")"},
        {counts.named, "have no FILTER but the band letter before the extension"},
        {counts.colour, "are colour frames (3-plane cubes or Bayer mosaics)"},
        {counts.total - banded - counts.named - counts.colour, "tell no band in FILTER"}};
    const auto present =
        std::count_if(kinds.begin(), kinds.end(), [](const auto& kind) { return kind.first > 0; });
    std::string text = std::to_string(counts.total) + " FITS frames here";
    int part = 0;
    for (const auto& [share, phrase] : kinds) {
        if (share == 0) continue;
        // One kind alone needs no count of its own.
        if (present == 1)
            text += " " + phrase;
        else
            text += (part == 0 ? ": " : ", ") + std::to_string(share) + " " + phrase;
        ++part;
    }
    text += ": orvel";
    for (const std::string& suffix : counts.suffixes) text += " --frames '*" + suffix + "'";
    return text;
}

}  // namespace orvel
