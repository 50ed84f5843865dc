#include "night/discovery.h"

#include <algorithm>

#include "base/typed_line.h"

namespace orvel {

std::optional<Band> bandOfName(std::string_view name) {
    // The band letter is the first of the last five characters ("x_R.fit" -> 'R').
    const char c = name.size() < 5 ? (name.empty() ? '\0' : name[0]) : name[name.size() - 5];
    for (const Band b : kBands)
        if (upperCase(std::string(1, c))[0] == bandLetter(b)) return b;
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

ImageFileList discoverImages(const std::filesystem::path& folder) {
    ImageFileList list;
    for (const Band band : kBands) {
        for (std::string& name : matchingNames(folder, bandLetter(band))) {
            if (static_cast<int>(list.files.size()) < kMaxImageFiles) {
                FrameSource source;
                source.file = name;
                list.files.push_back({std::move(name), band, true, {}, std::move(source)});
                ++list.bandCounts[bandIndex(band)];
            } else {
                ++list.ignored;
            }
        }
    }
    return list;
}

}  // namespace orvel
