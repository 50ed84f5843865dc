// Opening a listed frame's file and reading its header values, the one way every pass does.
#pragma once

#include <filesystem>

#include "fits/frame_file.h"
#include "fits/image_header.h"
#include "night/frame_source.h"

namespace orvel {

// The frame's file: as the classic names are read (the primary image), or as capture programs
// write it.
FrameFile openFrameFile(const std::filesystem::path& folder, const FrameSource& source);

// The header values of the frame: where its samples lie in the bytes (after the header's own
// place, and the planes before its own in a colour cube), and the writers' times.
ImageHeader frameHeader(const FrameFile& f, const FrameSource& source);

}  // namespace orvel
