// Reading a FITS file the way the per-file loop does, for the tests of this folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "fits/fits_file.h"
#include "fits/fits_header.h"
#include "fits/image_header.h"
#include "fits/pixel_decoder.h"
#include "fits/pixel_image.h"
#include "base/run_log.h"
#include "night/night_log.h"
#include "support/test_support.h"

namespace orvel::test {

// What one pass over a file leaves: the scan, the header, the pixels and the log lines.
struct ReadResult {
    HeaderScan scan;
    ImageHeader header;
    PixelImage image;
    std::int64_t count = 0;          // readPixels' result
    std::vector<std::string> lines;  // every log line written for the file
};

// Header and pixels of a file on disk, logged into memory.
inline ReadResult readFitsFile(const std::filesystem::path& path) {
    ReadResult r;
    RunLog log = RunLog::inMemory();
    FitsFile file;
    if (!file.open(path)) return r;
    r.scan = readHeaderBlocks(file);
    r.header = parseHeader(r.scan);
    logHeader(log, r.scan.text, r.header);
    r.count = readPixels(file, r.header, r.image);
    if (r.count >= 0) logSampleCount(log, r.header, r.count);
    r.lines = logLines(log.contents());
    return r;
}

// Writes the bytes into the folder and reads them back.
inline ReadResult readFitsBytes(const TempDir& dir, const std::string& bytes,
                                const std::string& name = "frame.fit") {
    writeFile(dir / name, bytes);
    return readFitsFile(dir / name);
}

// The log lines of the header alone (no pixel line), from the header bytes.
inline std::vector<std::string> headerLogLines(const std::string& bytes, ImageHeader& header) {
    RunLog log = RunLog::inMemory();
    const HeaderScan scan = scanHeaderBlocks(bytes);
    header = parseHeader(scan);
    logHeader(log, scan.text, header);
    return logLines(log.contents());
}

// The log lines after the header text (the first three lines: empty, title, header text).
inline std::vector<std::string> keywordLines(const std::vector<std::string>& lines) {
    return lines.size() > 3 ? std::vector<std::string>(lines.begin() + 3, lines.end())
                            : std::vector<std::string>{};
}

}  // namespace orvel::test
