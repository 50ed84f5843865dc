#include "run/output_names.h"

#include <algorithm>
#include <vector>

#include "base/file_io.h"
#include "fits/frame_file.h"
#include "night/discovery.h"
#include "night/frame_selection.h"

namespace orvel {

namespace {

// A file of the run, as a message names it.
struct NamedFile {
    std::string what;            // "option --plot 'x.png'", "the log './ORVEL_LOG.txt'"
    std::filesystem::path path;  // as given, relative to the current folder
};

NamedFile named(const std::string& what, const std::filesystem::path& path) {
    return {what + " '" + path.string() + "'", path};
}

// The files the run writes under fixed names in the frames' folder.
std::vector<NamedFile> fixedOutputs(const BatchOptions& o, bool interactive) {
    const std::filesystem::path& dir = o.run.folder;
    std::vector<NamedFile> files = {named("the log", dir / "ORVEL_LOG.txt"),
                                    named("the results file", dir / "ORVEL_results.csv"),
                                    named("the fit file", dir / "ORVEL_fit.csv"),
                                    named("the colour weights file", dir / "ORVEL_weights.csv")};
    if (!interactive) return files;
    files.push_back(named("the saved graph", dir / "ORVEL.bmp"));
    files.push_back(named("the saved plot", dir / "ORVEL_plot.png"));
    if (!o.run.fieldFile) files.push_back(named("the field picture", dir / "ORVEL_field.png"));
    return files;
}

// The files the output options name, in the order of --help.
std::vector<NamedFile> optionOutputs(const BatchOptions& o) {
    std::vector<NamedFile> files;
    if (o.graphFile) files.push_back(named("option --graph", *o.graphFile));
    if (o.run.plotFile) files.push_back(named("option --plot", *o.run.plotFile));
    if (o.run.fieldFile) files.push_back(named("option --field", *o.run.fieldFile));
    if (o.run.reportFile) files.push_back(named("option --report", *o.run.reportFile));
    return files;
}

// The files of the folder the run may read as frames: every FITS name, and every name a
// --frames pattern takes.
std::vector<NamedFile> inputFrames(const RunOptions& run) {
    std::vector<NamedFile> files;
    const std::vector<std::string>& patterns = run.frames.patterns;
    for (const std::string& name : ordinaryFileNames(run.folder)) {
        const bool chosen = std::any_of(patterns.begin(), patterns.end(),
                                        [&](const auto& p) { return matchesPattern(name, p); });
        if (hasFitsExtension(name) || chosen)
            files.push_back(named("the input frame", run.folder / name));
    }
    return files;
}

std::string clash(const NamedFile& output, const NamedFile& other) {
    return output.what + " names the same file as " + other.what;
}

}  // namespace

std::optional<std::string> outputNameClash(const BatchOptions& options, bool interactive) {
    const std::vector<NamedFile> outputs = optionOutputs(options);
    if (outputs.empty()) return std::nullopt;
    const std::vector<NamedFile> fixed = fixedOutputs(options, interactive);
    const std::vector<NamedFile> inputs = inputFrames(options.run);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        // Each earlier option, then the fixed outputs, then the frames.
        for (std::size_t j = 0; j < i; ++j)
            if (sameFile(outputs[i].path, outputs[j].path)) return clash(outputs[i], outputs[j]);
        for (const NamedFile& f : fixed)
            if (sameFile(outputs[i].path, f.path)) return clash(outputs[i], f);
        // A frame exists: only an existing output can be one (one stat per frame).
        std::error_code ec;
        if (!std::filesystem::exists(outputs[i].path, ec)) continue;
        for (const NamedFile& f : inputs)
            if (std::filesystem::equivalent(outputs[i].path, f.path, ec))
                return clash(outputs[i], f);
    }
    return std::nullopt;
}

}  // namespace orvel
