// Whole writes to files and descriptors: a short write or a signal never loses the rest, and an
// output never writes through a link or into another file that happens to have its name.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvel {

// Writes every byte to fd, writing again after a short write or an interrupting signal. False
// when the descriptor takes no more (part of the bytes may have been written by then).
bool writeAll(int fd, std::string_view bytes);

// Creates a new, empty ordinary file that takes the name `path` at once and returns its
// descriptor, open for writing (-1 on failure). Whatever had the name before (an older file, a
// symbolic link, a hard link to another name) is replaced as a name only: its contents and a
// link's target are never opened. A name that is a folder, a FIFO, a device or a socket is not
// replaced and gives -1. For files written item by item as the run goes (the log).
int createReplacingFile(const std::filesystem::path& path);

// Writes bytes to a new ordinary file that then takes the name `path`, as createReplacingFile
// replaces it; the name holds the old file until every byte is written. False on any failure,
// and the old file stays as it was.
bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes);

// True when both names lead to one file (symbolic links followed; an existing file by its
// device and inode, a name not yet made by its folder's resolved path).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace orvel
