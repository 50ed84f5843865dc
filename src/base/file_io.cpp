#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace orvel {

bool writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (!(n < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

int openRegularFileForWriting(const std::filesystem::path& path) {
    // Non-blocking, so that a FIFO without a reader fails at once instead of waiting for one;
    // nothing is truncated before the file is known to be an ordinary one.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A FIFO with a reader, a device or a socket is not a file to write results into.
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    const int fd = openRegularFileForWriting(path);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    // An older, longer file would otherwise keep its tail after the new bytes.
    if (ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    return ok;
}

}  // namespace orvel
