// The bytes of a gzip-compressed frame, inflated as a stream only as far as they are read, and
// held only in a window of the latest bytes: reads go forward (the header, then rows), and one
// that goes back before the window inflates the stream again from its start.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "fits/byte_source.h"
#include "fits/fits_file.h"

namespace orvel {

class GzipSource : public ByteSource {
  public:
    // Takes the open compressed file. Nothing is inflated beyond `limit` bytes (enough for the
    // headers) until setSize gives the size the header claims.
    GzipSource(FitsFile compressed, std::int64_t limit);
    ~GzipSource() override;
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    std::int64_t size() const override;
    std::size_t readAt(std::int64_t offset, void* buf, std::size_t n) override;
    std::string problem() const override;

    // The bytes the inflated file holds by its header (the header and the data it claims, bounded
    // by the caller): reads stop there, and a stream that ends before is short.
    void setSize(std::int64_t bytes);

  private:
    struct Stream;
    void inflateTo(std::int64_t offset, std::int64_t end);
    bool makeRoom(std::int64_t offset, std::int64_t end);
    bool takeInput();
    void restart();

    FitsFile compressed_;                   // the gzip bytes
    std::int64_t inOffset_ = 0;             // next compressed byte to read
    std::unique_ptr<Stream> stream_;        // zlib's state and the input piece
    std::unique_ptr<unsigned char[]> out_;  // the inflated bytes from base_ to made_
    std::int64_t capacity_ = 0;             // bytes out_ has room for
    std::int64_t base_ = 0;                 // offset of out_'s first byte in the inflated file
    std::int64_t made_ = 0;                 // bytes inflated so far
    std::int64_t size_ = 0;     // bytes it stands for: the limit, then the header's claim
    bool sized_ = false;        // size_ is the header's claim, no longer the limit
    bool ended_ = false;        // the compressed stream has no more bytes
    std::string problem_;       // why bytes asked for could not be made
    mutable std::mutex mutex_;  // frames are read by one worker, the first frame by two
};

}  // namespace orvel
