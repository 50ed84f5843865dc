#include "run/night_outputs.h"

#include "base/file_io.h"
#include "picture/night_plot.h"
#include "report/colour_weights.h"

namespace orvel {

namespace {

PlotValue plotValue(const RunOptions& options) {
    return options.plotMagnitudes ? PlotValue::magnitude : PlotValue::lnSignal;
}

bool said(bool written, const std::filesystem::path& path, Console& console) {
    if (!written) console.printLine("orvel: " + path.string() + " could not be written");
    return written;
}

}  // namespace

bool writeNightOutputs(const NightRecord& night, const ObservingSetup& setup,
                       const RunOptions& options, const std::filesystem::path& folder,
                       Console& console) {
    bool ok = true;
    if (night.anyMeasured()) {
        const std::filesystem::path weights = folder / "ORVEL_weights.csv";
        ok &= said(writeWholeFile(weights, weightsCsv(night, options.weightAltitudes)), weights,
                   console);
        showWeights(night, options.weightAltitudes, console);
    }
    if (options.plotFile)
        ok &= said(writeNightPlot(night, setup, plotValue(options), *options.plotFile),
                   *options.plotFile, console);
    return ok;
}

bool writeSavedGraphPlot(const NightRecord& night, const ObservingSetup& setup,
                         const RunOptions& options, const std::filesystem::path& folder,
                         Console& console) {
    const std::filesystem::path path = folder / "ORVEL_plot.png";
    return said(writeNightPlot(night, setup, plotValue(options), path), path, console);
}

}  // namespace orvel
