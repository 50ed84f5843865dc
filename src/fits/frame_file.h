// Finding a frame's image in its file the way capture programs write them: the primary image,
// the first image extension after a primary without data, or a gzip- or tile-compressed file
// decompressed into memory. Whatever the container, the bytes handed on are a header followed by
// big-endian samples, so the same pixels give the same measurements.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "fits/fits_file.h"
#include "fits/fits_header.h"

namespace orvel {

struct FrameFile {
    FitsFile file;                 // the bytes: the file itself, or the image rebuilt in memory
    HeaderScan scan;               // the image's header blocks
    std::int64_t headerStart = 0;  // byte offset of that header in the bytes (0: the primary)
    std::string problem;           // why no image could be found; empty when it was
};

// The image of the file at path, opened by the program itself (no part of the name is read as
// any library's syntax). Plain files are read by positioned reads. A file that begins with the
// gzip signature is inflated as a stream, only as far as it is read and never beyond its
// header's claim; a tile-compressed image extension has its header checked, then only the tiles
// of the rows read are decompressed (by CFITSIO, samples as stored). Either way the bytes handed
// on are the uncompressed image's header and its big-endian samples. A compressed frame may
// claim at most kMaxCompressedPixels.
FrameFile openCaptureFrame(const std::filesystem::path& path);

// Whether a name ends in a FITS frame's extension: .fit, .fits or .fts, alone or followed by
// .gz or .fz, in any letter case.
bool hasFitsExtension(const std::string& name);

}  // namespace orvel
