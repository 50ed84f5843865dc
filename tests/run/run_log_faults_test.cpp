// The log on a disk that fills up: an item that does not fit leaves nothing of itself in the
// file, and the items after it are still tried. The limit on the file size is set in a child
// process, so the test process itself keeps writing freely.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>

#include "base/run_log.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::readFile;
using test::TempDir;

// Runs `write` on a log opened in a child whose files may not grow beyond `limit` bytes;
// returns the child's exit status (0 when the log saw a failed write).
template <typename Write>
int writeWithLimit(const std::filesystem::path& path, rlim_t limit, Write write) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &size);
        RunLog log;
        if (!log.openFile(path)) ::_exit(2);
        write(log);
        ::_exit(log.writeFailed() ? 0 : 3);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(RunLogFaults, AnItemCutByAFullDiskLeavesNothingAndLaterItemsAreTried) {
    TempDir dir;
    const int status = writeWithLimit(dir / "log.txt", 40, [](RunLog& log) {
        log.text(std::string(50, 'a'));  // 11 + 50 > 40: fails, part written, cut off again
        log.text("0123456789");          // fits: 21 bytes
        log.num(12.5);                   // " 12.5 ": 27 bytes
        log.text(std::string(20, 'b'));  // 47 > 40: cut off again
        log.end();                       // 29 bytes
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(dir / "log.txt"), "ORVEL LOG\r\n0123456789 12.5 \r\n");
}

TEST(RunLogFaults, AFullDiskAtTheTitleKeepsOnlyTheLineEndsThatFit) {
    TempDir dir;
    EXPECT_EQ(writeWithLimit(dir / "log.txt", 5, [](RunLog& log) { log.line("more"); }), 0);
    // "ORVEL LOG" and "more" do not fit and leave nothing; each line end fits.
    EXPECT_EQ(readFile(dir / "log.txt"), "\r\n\r\n");
}

TEST(RunLogFaults, AnItemEndingExactlyAtTheLimitIsKept) {
    TempDir dir;
    const int status = writeWithLimit(dir / "log.txt", 20, [](RunLog& log) {
        log.text("123456789");  // 20 bytes: at the limit, whole
        log.text("x");          // nothing more fits
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(dir / "log.txt"), "ORVEL LOG\r\n123456789");
}

}  // namespace
}  // namespace orvel
