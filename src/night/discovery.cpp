#include "night/discovery.h"

#include <algorithm>

#include "base/typed_line.h"
#include "fits/frame_file.h"
#include "night/frame_reading.h"

namespace orvel {

std::optional<Band> bandOfName(std::string_view name) {
    // The band letter is the first of the last five characters ("x_R.fit" -> 'R').
    const char c = name.size() < 5 ? (name.empty() ? '\0' : name[0]) : name[name.size() - 5];
    for (const Band b : kBands)
        if (upperCase(std::string(1, c))[0] == bandLetter(b)) return b;
    return std::nullopt;
}

std::optional<Band> bandBeforeExtension(std::string_view name) {
    const std::string upper = upperCase(name);
    if (!hasFitsExtension(upper)) return std::nullopt;
    std::string_view stem = upper;
    // The compression's ending first, then the FITS one.
    for (const std::string_view end : {".GZ", ".FZ"})
        if (stem.ends_with(end)) stem.remove_suffix(end.size());
    for (const std::string_view end : {".FITS", ".FIT", ".FTS"})
        if (stem.ends_with(end)) {
            stem.remove_suffix(end.size());
            break;
        }
    if (stem.empty()) return std::nullopt;
    // A letter that ends a longer word ("Clear", "Blob") is part of the word, not a band.
    const auto isLetter = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (stem.size() >= 2 && isLetter(stem[stem.size() - 2])) return std::nullopt;
    for (const Band b : kBands)
        if (stem.back() == bandLetter(b)) return b;
    return std::nullopt;
}

std::vector<std::string> ordinaryFileNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    // An unreadable folder behaves like one without matches.
    if (ec) return names;
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        // Only ordinary files (a link to one counts): folders, devices and pipes are skipped.
        std::error_code statusError;
        if (!std::filesystem::is_regular_file(entry.status(statusError)) || statusError) continue;
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::string> matchingNames(const std::filesystem::path& folder, char letter) {
    const std::string suffix = upperCase(std::string(1, letter) + ".fit");
    std::vector<std::string> names;
    for (std::string& name : ordinaryFileNames(folder)) {
        // Names that do not end in the pattern are skipped.
        if (name.size() < suffix.size()) continue;
        if (upperCase(std::string_view(name).substr(name.size() - suffix.size())) != suffix)
            continue;
        names.push_back(std::move(name));
    }
    // A directory yields names in no stable order; the first name decides which frame the
    // user is shown, so the order is fixed here.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = upperCase(a);
        const std::string ub = upperCase(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

namespace {

// The exposure a classic frame holds, from its primary header; unknown when it has none.
ExposureIdentity classicExposure(const std::filesystem::path& folder, const FrameSource& source) {
    const FrameFile f = openFrameFile(folder, source);
    if (!f.problem.empty() || !f.scan.endFound) return {};
    return exposureIdentity(frameHeader(f, source), f.scan.text);
}

}  // namespace

ImageFileList discoverImages(const std::filesystem::path& folder) {
    ImageFileList list;
    for (const Band band : kBands) {
        for (std::string& name : matchingNames(folder, bandLetter(band))) {
            if (static_cast<int>(list.files.size()) < kMaxImageFiles) {
                ListedFile& f = list.files.emplace_back();
                f.source.file = name;
                f.name = std::move(name);
                f.band = band;
                f.exposure = classicExposure(folder, f.source);
                ++list.bandCounts[bandIndex(band)];
            } else {
                ++list.ignored;
            }
        }
    }
    leaveOutRepeatedExposures(list.files);
    return list;
}

void leaveOutRepeatedExposures(std::vector<ListedFile>& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        ListedFile& later = files[i];
        if (!later.whyLeftOut.empty() || !later.exposure.known()) continue;
        // Only a kept frame is compared, so the one named is always the first of its exposure;
        // the bands of one colour file share its moment but are different frames.
        const auto earlier = std::find_if(files.begin(), files.begin() + static_cast<long>(i),
                                          [&](const ListedFile& e) {
                                              return e.whyLeftOut.empty() && e.band == later.band &&
                                                     sameExposure(e.exposure, later.exposure);
                                          });
        if (earlier != files.begin() + static_cast<long>(i))
            later.whyLeftOut = "the same exposure as " + earlier->name;
    }
}

}  // namespace orvel
