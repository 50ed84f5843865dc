#include "night/frame_reading.h"

#include "fits/fits_header.h"
#include "fits/pixel_decoder.h"

namespace orvel {

// The frame's file: as the classic names are read (the primary image), or as capture programs
// write it.
FrameFile openFrameFile(const std::filesystem::path& folder, const FrameSource& source) {
    if (source.captureFile) return openCaptureFrame(folder / source.file);
    FrameFile f;
    if (!f.file.open(folder / source.file)) {
        f.problem = "it cannot be opened";
        return f;
    }
    f.scan = readHeaderBlocks(f.file);
    return f;
}

// The header values of the frame: where its samples lie in the bytes (after the header's own
// place, and the planes before its own in a colour cube), and the writers' times.
ImageHeader frameHeader(const FrameFile& f, const FrameSource& source) {
    ImageHeader header = parseHeader(f.scan);
    if (source.captureFile) readWriterTime(f.scan.text, header);
    header.dataStart += f.headerStart;
    if (source.plane >= 0) {
        header.dataStart += source.plane * headerPixelCount(header) * bytesPerSample(header.bitpix);
        header.planes = 1;
    }
    return header;
}

}  // namespace orvel
