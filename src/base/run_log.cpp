#include "base/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "base/display_text.h"
#include "base/file_io.h"
#include "base/number_format.h"

namespace orvel {

RunLog RunLog::inMemory() {
    RunLog log;
    log.memory_ = true;
    return log;
}

RunLog::RunLog(RunLog&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      fileSize_(other.fileSize_),
      memory_(other.memory_),
      writeFailed_(other.writeFailed_),
      buffer_(std::move(other.buffer_)) {}

RunLog& RunLog::operator=(RunLog&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        fileSize_ = other.fileSize_;
        memory_ = other.memory_;
        writeFailed_ = other.writeFailed_;
        buffer_ = std::move(other.buffer_);
    }
    return *this;
}

RunLog::~RunLog() {
    if (fd_ >= 0) ::close(fd_);
}

bool RunLog::openFile(const std::filesystem::path& path) {
    // A new file under the name: an older log, or a link left there, is replaced and never
    // written through.
    const int fd = createReplacingFile(path);
    if (fd < 0) return false;
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
    fileSize_ = 0;
    memory_ = false;
    line("ORVEL LOG");
    return true;
}

RunLog& RunLog::raw(std::string_view bytes) {
    if (memory_) {
        buffer_.append(bytes);
        return *this;
    }
    if (fd_ < 0) return *this;
    // Unbuffered: the bytes are with the kernel when this returns.
    if (!writeAll(fd_, bytes)) {
        // A full disk may take part of an item: cut it off again, so that the failed write has
        // no effect and the file holds only whole items (when nothing was taken, this changes
        // nothing).
        writeFailed_ = true;
        if (::ftruncate(fd_, fileSize_) == 0) ::lseek(fd_, fileSize_, SEEK_SET);
        return *this;
    }
    fileSize_ += static_cast<std::int64_t>(bytes.size());
    return *this;
}

RunLog& RunLog::text(std::string_view t) {
    // Text items carry names and header text from files; the log's own line ends come from
    // end(), so every control character in an item is data.
    return raw(displaySafe(t));
}

RunLog& RunLog::num(double x) {
    return raw(formatShort(x));
}

RunLog& RunLog::numLong(double x) {
    return raw(formatLong(x));
}

RunLog& RunLog::end() {
    return raw("\r\n");
}

}  // namespace orvel
