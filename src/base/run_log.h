// The run log: a text file of CR LF lines, built from text items and number items, each item
// handed to the operating system at once so that an abrupt end loses nothing already written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvel {

class RunLog {
public:
    // A log that is not open: every item is dropped (the log could not be created).
    RunLog() = default;
    // A log that collects its items in memory (one file's section, or a test).
    static RunLog inMemory();

    RunLog(RunLog&& other) noexcept;
    RunLog& operator=(RunLog&& other) noexcept;
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;
    ~RunLog();

    // Creates the file (a new one that replaces whatever had the name, see
    // createReplacingFile) and writes the title line. False when it cannot be created; the log
    // then stays closed.
    bool openFile(const std::filesystem::path& path);

    RunLog& text(std::string_view t);  // a text item, control characters escaped (displaySafe)
    RunLog& num(double x);             // a number in the single-precision format
    RunLog& numLong(double x);         // a number in the double-precision format
    RunLog& end();                     // carriage return and line feed
    RunLog& line(std::string_view t) { return text(t).end(); }

    // Appends bytes already formatted (a section collected in memory).
    RunLog& raw(std::string_view bytes);

    bool isOpen() const { return fd_ >= 0 || memory_; }
    bool writeFailed() const { return writeFailed_; }
    // The text collected by an in-memory log.
    const std::string& contents() const { return buffer_; }
    // Empties an in-memory log.
    void clear() { buffer_.clear(); }

private:
    int fd_ = -1;
    std::int64_t fileSize_ = 0;  // bytes of whole items in the file
    bool memory_ = false;
    bool writeFailed_ = false;
    std::string buffer_;
};

}  // namespace orvel
