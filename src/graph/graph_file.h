// Saving the graph as a picture file: BMP, or PNG for a name ending in ".png".
#pragma once

#include <filesystem>
#include <string>

#include "platform/raster.h"

namespace orvel {

// The PNG file image of the surface (8-bit RGB, no interlace).
std::string pngBytes(const Raster& raster);

// Writes the surface as PNG or BMP by the file name's ending. False on failure.
bool saveGraphFile(const Raster& raster, const std::filesystem::path& path);

}  // namespace orvel
