#include "base/file_io.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_support.h"

namespace orvel {
namespace {

namespace fs = std::filesystem;

bool isLink(const fs::path& path) {
    return fs::is_symlink(fs::symlink_status(path));
}

TEST(FileOutput, AWholeFileReplacesALinkAndLeavesItsTargetAlone) {
    test::TempDir dir;
    test::writeFile(dir / "victim.txt", "keep me");
    fs::create_symlink(dir / "victim.txt", dir / "ORVEL_results.csv");
    ASSERT_TRUE(writeWholeFile(dir / "ORVEL_results.csv", "file,band\r\n"));
    EXPECT_EQ(test::readFile(dir / "victim.txt"), "keep me");
    EXPECT_FALSE(isLink(dir / "ORVEL_results.csv"));
    EXPECT_EQ(test::readFile(dir / "ORVEL_results.csv"), "file,band\r\n");
    // No new file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(FileOutput, AWholeFileNeverWritesIntoAHardLinkedFile) {
    test::TempDir dir;
    test::writeFile(dir / "frame_R.fit", "pixels");
    fs::create_hard_link(dir / "frame_R.fit", dir / "ORVEL.bmp");
    ASSERT_TRUE(writeWholeFile(dir / "ORVEL.bmp", "BM"));
    EXPECT_EQ(test::readFile(dir / "frame_R.fit"), "pixels");
    EXPECT_EQ(test::readFile(dir / "ORVEL.bmp"), "BM");
}

TEST(FileOutput, TheLogReplacesALinkAtOnceAndIsWrittenAsItGoes) {
    test::TempDir dir;
    test::writeFile(dir / "victim.txt", "keep me");
    fs::create_symlink("victim.txt", dir / "ORVEL_LOG.txt");
    const int fd = createReplacingFile(dir / "ORVEL_LOG.txt");
    ASSERT_GE(fd, 0);
    // The name is the new file's before anything is written to it.
    EXPECT_FALSE(isLink(dir / "ORVEL_LOG.txt"));
    ASSERT_TRUE(writeAll(fd, "ORVEL LOG\r\n"));
    EXPECT_EQ(test::readFile(dir / "ORVEL_LOG.txt"), "ORVEL LOG\r\n");
    ::close(fd);
    EXPECT_EQ(test::readFile(dir / "victim.txt"), "keep me");
}

TEST(FileOutput, AFifoOrAFolderUnderTheNameIsNotReplaced) {
    test::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "ORVEL_LOG.txt").c_str(), 0644), 0);
    EXPECT_EQ(createReplacingFile(dir / "ORVEL_LOG.txt"), -1);
    EXPECT_FALSE(writeWholeFile(dir / "ORVEL_LOG.txt", "x"));
    EXPECT_TRUE(fs::is_fifo(dir / "ORVEL_LOG.txt"));
    fs::create_directory(dir / "ORVEL.bmp");
    EXPECT_FALSE(writeWholeFile(dir / "ORVEL.bmp", "x"));
    EXPECT_TRUE(fs::is_directory(dir / "ORVEL.bmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(FileOutput, SameFileFollowsLinksAndResolvesNamesNotYetMade) {
    test::TempDir dir;
    test::writeFile(dir / "a_R.fit", "pixels");
    fs::create_symlink(dir / "a_R.fit", dir / "plot.png");
    fs::create_hard_link(dir / "a_R.fit", dir / "hard.fit");
    fs::create_directory(dir / "sub");
    EXPECT_TRUE(sameFile(dir / "plot.png", dir / "a_R.fit"));
    EXPECT_TRUE(sameFile(dir / "hard.fit", dir / "sub" / ".." / "a_R.fit"));
    EXPECT_TRUE(sameFile(dir / "new.png", dir / "sub" / ".." / "." / "new.png"));
    EXPECT_FALSE(sameFile(dir / "new.png", dir / "sub" / "new.png"));
    EXPECT_FALSE(sameFile(dir / "new.png", dir / "a_R.fit"));
}

}  // namespace
}  // namespace orvel
