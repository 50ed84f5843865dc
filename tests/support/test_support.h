// Helpers shared by the tests: temporary folders and whole-file reads and writes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::test {

// A fresh folder under the system temporary folder, removed with its contents at scope end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, std::string_view bytes);
std::string readFile(const std::filesystem::path& path);

// Splits a CR LF log into its lines (without the line ends).
std::vector<std::string> logLines(std::string_view text);

}  // namespace orvel::test
