// Whole writes to files and descriptors: a short write or a signal never loses the rest.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace orvel {

// Writes every byte to fd, writing again after a short write or an interrupting signal. False
// when the descriptor takes no more (part of the bytes may have been written by then).
bool writeAll(int fd, std::string_view bytes);

// Writes bytes to a file from its start and cuts it after the last byte. False on any failure.
bool writeWholeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace orvel
