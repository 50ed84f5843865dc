#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace orvel {

namespace {

std::atomic<unsigned> temporaryCount{0};  // new files made by this process, for unique names

// A name a new file may take: free, an ordinary file or a symbolic link (which is replaced, not
// followed). A folder, a FIFO, a device or a socket is not a place for results.
bool replaceable(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
}

// A new file with a hidden name in the folder of `path`. O_EXCL and O_NOFOLLOW: it is always a
// file made here, never one reached through a link someone left under that name.
int createTemporaryBeside(const std::filesystem::path& path, std::filesystem::path& temporary) {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder / (".orvel-" + std::to_string(::getpid()) + "-" +
                              std::to_string(temporaryCount++) + ".part");
        const int fd =
            ::open(temporary.c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Gives the new file the name in one step: rename replaces a link or a file as a name only.
// On failure the new file goes again.
bool takeName(const std::filesystem::path& temporary, const std::filesystem::path& path) {
    if (replaceable(path) && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

// A name's place once the existing folders (and links) on its way are resolved; empty when it
// cannot be told.
std::filesystem::path resolvedPlace(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec);
    if (ec) return {};
    std::filesystem::path place = std::filesystem::weakly_canonical(whole, ec);
    return ec ? std::filesystem::path() : place;
}

}  // namespace

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

int createReplacingFile(const std::filesystem::path& path) {
    // Checked first, so that a folder or a FIFO in the way leaves no new file behind.
    if (!replaceable(path)) return -1;
    std::filesystem::path temporary;
    const int fd = createTemporaryBeside(path, temporary);
    if (fd < 0) return -1;
    if (!takeName(temporary, path)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    if (!replaceable(path)) return false;
    std::filesystem::path temporary;
    const int fd = createTemporaryBeside(path, temporary);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    // A full disk leaves the old file under the name, not half of the new one.
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return takeName(temporary, path);
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    // Both exist: one device and inode, whatever the names and links on the way.
    if (std::filesystem::equivalent(a, b, ec)) return true;
    // A name not made yet: the same place as the other.
    const std::filesystem::path placeA = resolvedPlace(a);
    return !placeA.empty() && placeA == resolvedPlace(b);
}

}  // namespace orvel
