// Whole writes to files and descriptors: a short write or a signal never loses the rest.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvel {

// Writes every byte to fd, writing again after a short write or an interrupting signal. False
// when the descriptor takes no more (part of the bytes may have been written by then).
bool writeAll(int fd, std::string_view bytes);

// Opens (creating it when missing) an ordinary file for writing from its start, without
// truncating it and without ever blocking: a name that exists and is not an ordinary file (a
// folder, a FIFO, a device, a socket) gives -1, as a failure to open does. The descriptor is
// blocking once open.
int openRegularFileForWriting(const std::filesystem::path& path);

// Writes bytes to an ordinary file from its start and cuts it after the last byte. False on any
// failure, and for a name that is not an ordinary file.
bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace orvel
