// Saving the graph as a picture file: BMP, or PNG for a name ending in ".png".
#pragma once

#include <filesystem>
#include <string>

#include "platform/graphics_window.h"
#include "platform/raster.h"

namespace orvel {

// The PNG file image of the surface (8-bit RGB, no interlace).
std::string pngBytes(const Raster& raster);

// Writes the surface as PNG or BMP by the file name's ending. False on failure.
bool saveGraphFile(const Raster& raster, const std::filesystem::path& path);

// The same for the picture of a window; false (and nothing written) when no window is open.
bool saveWindowPicture(const GraphicsWindow& window, const std::filesystem::path& path);

}  // namespace orvel
