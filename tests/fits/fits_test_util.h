// Reading a FITS file the way the per-file loop does, for the tests of this folder.
#pragma once

#include <gtest/gtest.h>

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

// Every header value of two reads, one by one.
inline void expectSameHeader(const ImageHeader& a, const ImageHeader& b) {
    EXPECT_EQ(a.hasBitpix, b.hasBitpix);
    EXPECT_EQ(a.hasSize, b.hasSize);
    EXPECT_EQ(a.hasBscale, b.hasBscale);
    EXPECT_EQ(a.hasBzero, b.hasBzero);
    EXPECT_EQ(a.hasExposure, b.hasExposure);
    EXPECT_EQ(a.bitpix, b.bitpix);
    EXPECT_EQ(a.columns, b.columns);
    EXPECT_EQ(a.rows, b.rows);
    EXPECT_EQ(a.bscale, b.bscale);
    EXPECT_EQ(a.bzero, b.bzero);
    EXPECT_EQ(a.hasDate, b.hasDate);
    EXPECT_EQ(a.year, b.year);
    EXPECT_EQ(a.month, b.month);
    EXPECT_EQ(a.day, b.day);
    EXPECT_EQ(a.hour, b.hour);
    EXPECT_EQ(a.minute, b.minute);
    EXPECT_EQ(a.second, b.second);
    EXPECT_EQ(a.hasTimeOfDay, b.hasTimeOfDay);
    EXPECT_EQ(a.exposure, b.exposure);
    EXPECT_EQ(a.planes, b.planes);
    EXPECT_EQ(a.imageType, b.imageType);
    EXPECT_EQ(a.hasSaturate, b.hasSaturate);
    EXPECT_EQ(a.saturate, b.saturate);
    EXPECT_EQ(a.cardCount, b.cardCount);
    EXPECT_EQ(a.dataStart, b.dataStart);
}

}  // namespace orvel::test
