#include "run/night_outputs.h"

#include "analysis/image_statistics.h"
#include "base/file_io.h"
#include "picture/night_plot.h"
#include "picture/night_report.h"
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

StarPicker keepingField(StarPicker pick, std::optional<FieldCrop>& field, bool keep) {
    if (!keep) return pick;
    return [pick, &field](const PixelImage& image, const FirstImageStats& stats,
                          std::string_view name) {
        const StarSelection s = pick(image, stats, name);
        // The window's stretch: the cuts of the whole first frame.
        field = fieldCrop(image, s, stats.p1, stats.p999);
        return s;
    };
}

bool writeNightOutputs(const NightOutputs& out, const RunOptions& options,
                       const std::filesystem::path& folder, Console& console) {
    const NightRecord& night = out.night;
    const ObservingSetup& setup = out.setup;
    bool ok = true;
    // The weights' airmass is the one the lines were fitted against.
    const FittedAirmass airmass =
        options.preciseAirmass ? FittedAirmass::pickering : FittedAirmass::hardie;
    if (out.fieldFile && out.field)
        ok &= said(writePicture(fieldPicture(*out.field, night), *out.fieldFile), *out.fieldFile,
                   console);
    if (night.anyMeasured()) {
        const std::filesystem::path weights = folder / "ORVEL_weights.csv";
        ok &= said(writeWholeFile(weights, weightsCsv(out.fit, options.weightAltitudes, airmass)),
                   weights, console);
        showWeights(out.fit, options.weightAltitudes, airmass, console);
    }
    if (options.reportFile) {
        const std::vector<ColourWeightRow> weights =
            night.anyMeasured()
                ? weightRows(out.fit, weightAltitudes(options.weightAltitudes), airmass)
                : std::vector<ColourWeightRow>{};
        const std::string field = out.field ? fieldPicture(*out.field, night) : std::string();
        const std::string plot =
            nightPlot(night, out.fit, setup, plotValue(options), PictureFormat::png);
        const std::string page = nightReportHtml(night, out.fit, setup, plot, field, weights);
        ok &= said(writeWholeFile(*options.reportFile, withRepeatCommand(page, out.repeatCommand)),
                   *options.reportFile, console);
    }
    if (options.plotFile)
        ok &= said(writeNightPlot(night, out.fit, setup, plotValue(options), *options.plotFile),
                   *options.plotFile, console);
    return ok;
}

bool writeSavedGraphPlot(const NightRecord& night, const NightFit& fit, const ObservingSetup& setup,
                         const RunOptions& options, const std::filesystem::path& folder,
                         Console& console) {
    const std::filesystem::path path = folder / "ORVEL_plot.png";
    return said(writeNightPlot(night, fit, setup, plotValue(options), path), path, console);
}

}  // namespace orvel
