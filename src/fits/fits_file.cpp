#include "fits/fits_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace orvel {

FitsFile::FitsFile(FitsFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      size_(std::exchange(other.size_, 0)),
      inMemory_(std::exchange(other.inMemory_, false)),
      memory_(std::move(other.memory_)),
      source_(std::move(other.source_)) {}

FitsFile& FitsFile::operator=(FitsFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
        inMemory_ = std::exchange(other.inMemory_, false);
        memory_ = std::move(other.memory_);
        source_ = std::move(other.source_);
    }
    return *this;
}

FitsFile::~FitsFile() {
    close();
}

bool FitsFile::open(const std::filesystem::path& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    // A folder or a device has no byte layout to read a header from.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<std::int64_t>(info.st_size);
    return true;
}

void FitsFile::openBytes(std::vector<unsigned char> bytes) {
    close();
    memory_ = std::move(bytes);
    size_ = static_cast<std::int64_t>(memory_.size());
    inMemory_ = true;
}

void FitsFile::openSource(std::shared_ptr<ByteSource> source) {
    close();
    source_ = std::move(source);
    size_ = source_ ? source_->size() : 0;
}

void FitsFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    inMemory_ = false;
    memory_.clear();
    source_.reset();
}

std::size_t FitsFile::readAt(std::int64_t offset, void* buf, std::size_t n) const {
    if (offset < 0) return 0;
    if (source_) return source_->readAt(offset, buf, n);
    if (inMemory_) {
        if (offset >= size_) return 0;
        const std::size_t got = std::min(n, static_cast<std::size_t>(size_ - offset));
        std::memcpy(buf, memory_.data() + offset, got);
        return got;
    }
    if (fd_ < 0) return 0;
    auto* out = static_cast<unsigned char*>(buf);
    std::size_t done = 0;
    // pread may return fewer bytes than asked (large requests, signals): go on until the end.
    while (done < n) {
        const ssize_t got = ::pread(fd_, out + done, n - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

HeaderScan readHeaderBlocks(const FitsFile& file, std::int64_t offset) {
    HeaderScan scan;
    std::string block(kFitsBlockBytes, '\0');
    // One block at a time, so a long file is read no further than its header.
    for (;;) {
        const std::size_t got = file.readAt(offset, block.data(), block.size());
        if (got == 0) break;
        if (addHeaderBlock(scan, std::string_view(block.data(), got))) break;
        if (got < block.size()) break;
        offset += kFitsBlockBytes;
    }
    return scan;
}

}  // namespace orvel
