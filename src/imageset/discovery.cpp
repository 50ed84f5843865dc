#include "imageset/discovery.h"

#include <algorithm>

#include "platform/typed_line.h"

namespace orvel {

int bandOfName(std::string_view name) {
    // The band letter is the first of the last five characters ("x_R.fit" -> 'R').
    const char c = name.size() < 5 ? (name.empty() ? '\0' : name[0]) : name[name.size() - 5];
    switch (c) {
        case 'R': case 'r': return 1;
        case 'G': case 'g': return 2;
        case 'B': case 'b': return 3;
        default: return 0;
    }
}

std::vector<std::string> matchingNames(const std::filesystem::path& folder, char bandLetter) {
    const std::string suffix = upperCase(std::string(1, bandLetter) + ".fit");
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    // An unreadable folder behaves like one without matches.
    if (ec) return names;
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        // Hidden names are skipped, as are names that do not end in the pattern.
        if (name.empty() || name[0] == '.') continue;
        if (name.size() < suffix.size()) continue;
        if (upperCase(std::string_view(name).substr(name.size() - suffix.size())) != suffix)
            continue;
        // Only ordinary files (a link to one counts): folders, devices and pipes are skipped.
        std::error_code statusError;
        if (!std::filesystem::is_regular_file(entry.status(statusError)) || statusError) continue;
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

ImageFileList discoverImages(const std::filesystem::path& folder, RunLog& log, Console& console) {
    ImageFileList list;
    for (const char letter : {'R', 'G', 'B'}) {
        for (std::string& name : matchingNames(folder, letter)) {
            if (static_cast<int>(list.names.size()) < kMaxImageFiles) {
                list.names.push_back(std::move(name));
            } else {
                ++list.ignored;
            }
        }
    }
    log.end().text("Total Number of Image Files Read = ").num(static_cast<double>(list.names.size()));
    log.end().end().line("List of Image Files Read-");
    for (const std::string& name : list.names) {
        log.line(name);
        const int band = bandOfName(name);
        if (band > 0) ++list.bandCounts[static_cast<std::size_t>(band - 1)];
    }
    log.end();
    log.text("# Red Files = ").num(list.bandCounts[0]).end();
    log.text("# Green Files = ").num(list.bandCounts[1]).end();
    log.text("# Blue Files = ").num(list.bandCounts[2]).end();
    if (list.ignored > 0) {
        log.end().text("Image files beyond the limit of 1000, ignored = ").num(list.ignored).end();
        console.print("Image files beyond the limit of 1000, ignored = ");
        console.printNumber(list.ignored);
        console.endLine();
    }
    if (list.names.empty()) log.end().line("No files input-- execution stops");
    return list;
}

}  // namespace orvel
