// A FITS file opened read-only for positioned reads: the header blocks and the data array are
// fetched where they lie, without moving a shared file position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fits/byte_source.h"
#include "fits/fits_header.h"

namespace orvel {

class FitsFile {
  public:
    FitsFile() = default;
    explicit FitsFile(const std::filesystem::path& path) { open(path); }
    FitsFile(FitsFile&& other) noexcept;
    FitsFile& operator=(FitsFile&& other) noexcept;
    FitsFile(const FitsFile&) = delete;
    FitsFile& operator=(const FitsFile&) = delete;
    ~FitsFile();

    // Opens the file for reading (closing any file held before); false when it cannot be
    // opened or is not a regular file, the object then stays closed.
    bool open(const std::filesystem::path& path);
    // Holds bytes already in memory (a frame decompressed from its file) as if they were a file.
    void openBytes(std::vector<unsigned char> bytes);
    // Holds bytes made on demand (a frame decompressed as far as it is read).
    void openSource(std::shared_ptr<ByteSource> source);
    void close();
    bool isOpen() const { return fd_ >= 0 || inMemory_ || source_ != nullptr; }

    // Why some bytes read could not be made (a compressed frame's damaged data); empty for a
    // file or bytes in memory, and while all is well.
    std::string problem() const { return source_ ? source_->problem() : std::string(); }

    // Size in bytes when opened; 0 for a closed file.
    std::int64_t size() const { return source_ ? source_->size() : size_; }

    // Reads up to n bytes from the 0-based offset; fewer at the end of the file, 0 past it, on
    // a closed file or on a read error.
    std::size_t readAt(std::int64_t offset, void* buf, std::size_t n) const;

  private:
    int fd_ = -1;
    std::int64_t size_ = 0;
    bool inMemory_ = false;  // the bytes are held in memory_, not read from fd_
    std::vector<unsigned char> memory_;
    std::shared_ptr<ByteSource> source_;  // the bytes made on demand, when set
};

// Reads the header blocks from the byte offset on (the start of the file by default) until the
// end card or the end of the file.
HeaderScan readHeaderBlocks(const FitsFile& file, std::int64_t offset = 0);

}  // namespace orvel
