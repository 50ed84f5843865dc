// After the last frame: fit, report, graph, outlier removal and saving the graph.
#pragma once

#include <filesystem>

#include "imageset/discovery.h"
#include "imageset/file_loop.h"
#include "platform/console.h"
#include "platform/graphics_window.h"
#include "run/run_log.h"

namespace orvel {

// Asks whether to save the graph and writes it to "ORVEL.bmp" in the folder on Y; closes the
// window either way.
void offerGraphExport(GraphicsWindow& window, Console& console,
                      const std::filesystem::path& folder);

// Runs graph setup, the first report and drawing, the outlier dialogue and the export.
void runGraphPhase(NightMeasurements& night, const ImageFileList& files,
                   const std::filesystem::path& folder, Console& console, GraphicsWindow& window,
                   RunLog& log);

}  // namespace orvel
