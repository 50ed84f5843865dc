#include "night/discovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>

#include "night/night_log.h"
#include "platform/scripted_console.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::logLines;
using test::TempDir;
using test::writeFile;

// Discovery with its log and console lines, as a run writes them.
ImageFileList discoverIn(const std::filesystem::path& folder, RunLog& log,
                         ScriptedConsole& console) {
    ImageFileList list = discoverImages(folder);
    reportDiscovery(log, console, list);
    return list;
}

ImageFileList discover(const TempDir& dir, RunLog& log, ScriptedConsole& console) {
    return discoverIn(dir.path(), log, console);
}

std::vector<std::string> namesOf(const ImageFileList& list) {
    std::vector<std::string> names;
    for (const ListedFile& f : list.files) names.push_back(f.name);
    return names;
}

TEST(Discovery, BandsInOrderWhateverTheDirectoryOrder) {
    TempDir dir;
    for (const char* name : {"c_B.fit", "b_G.fit", "a_R.fit"}) writeFile(dir / name, "x");
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const ImageFileList list = discover(dir, log, console);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"a_R.fit", "b_G.fit", "c_B.fit"}));
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{1, 1, 1}));
    EXPECT_EQ(log.contents(),
              "\r\nTotal Number of Image Files Read =  3 \r\n\r\nList of Image Files Read-\r\n"
              "a_R.fit\r\nb_G.fit\r\nc_B.fit\r\n\r\n"
              "# Red Files =  1 \r\n# Green Files =  1 \r\n# Blue Files =  1 \r\n");
    EXPECT_EQ(console.transcript(), "");
}

TEST(Discovery, NamesSortedByUpperCaseThenRawBytes) {
    TempDir dir;
    for (const char* name : {"b_0002_R.fit", "B_0001_R.FIT", "a_0003_r.fit", "b_0002_r.fit"})
        writeFile(dir / name, "x");
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const ImageFileList list = discover(dir, log, console);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"a_0003_r.fit", "B_0001_R.FIT",
                                                       "b_0002_R.fit", "b_0002_r.fit"}));
    // A lower-case band letter still counts as its band, so the fit's band blocks stay right.
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{4, 0, 0}));
}

TEST(Discovery, DecoysAreNotListed) {
    TempDir dir;
    writeFile(dir / "x_R.fits", "x");       // the pattern must reach the end of the name
    writeFile(dir / ".hidden_R.fit", "x");  // hidden
    writeFile(dir / "x_Q.fit", "x");        // no band
    writeFile(dir / "R.fit", "x");          // nothing before the letter: found, red
    std::filesystem::create_directory(dir / "dirR.fit");
    ::mkfifo((dir / "pipe_G.fit").c_str(), 0600);
    std::filesystem::create_symlink(dir / "R.fit", dir / "link_B.fit");
    std::filesystem::create_symlink(dir / "dirR.fit", dir / "dirlink_B.fit");
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const ImageFileList list = discover(dir, log, console);
    EXPECT_EQ(namesOf(list), (std::vector<std::string>{"R.fit", "link_B.fit"}));
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{1, 0, 1}));
}

TEST(Discovery, EmptyFolderEndsProcessing) {
    TempDir dir;
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const ImageFileList list = discover(dir, log, console);
    EXPECT_TRUE(list.files.empty());
    EXPECT_EQ(log.contents(),
              "\r\nTotal Number of Image Files Read =  0 \r\n\r\nList of Image Files Read-\r\n"
              "\r\n# Red Files =  0 \r\n# Green Files =  0 \r\n# Blue Files =  0 \r\n"
              "\r\nNo files input-- execution stops\r\n");
}

TEST(Discovery, MissingFolderBehavesLikeAnEmptyOne) {
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const ImageFileList list = discoverIn("/nonexistent/orvel/folder", log, console);
    EXPECT_TRUE(list.files.empty());
}

TEST(Discovery, NamesBeyondTheLimitAreIgnoredAndCounted) {
    TempDir dir;
    char name[32];
    for (int i = 0; i < 1003; ++i) {
        std::snprintf(name, sizeof name, "f%04d_%c.fit", i, i < 600 ? 'B' : 'R');
        writeFile(dir / name, "");
    }
    RunLog log = RunLog::inMemory();
    ScriptedConsole console;
    const ImageFileList list = discover(dir, log, console);
    ASSERT_EQ(list.files.size(), 1000u);
    EXPECT_EQ(list.files.front().name, "f0600_R.fit");  // red first
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{403, 0, 597}));
    EXPECT_EQ(list.ignored, 3);
    EXPECT_EQ(console.transcript(), "Image files beyond the limit of 1000, ignored =  3 \n");
    const auto lines = logLines(log.contents());
    EXPECT_EQ(lines[1], "Total Number of Image Files Read =  1000 ");
    EXPECT_EQ(lines.back(), "Image files beyond the limit of 1000, ignored =  3 ");
}

TEST(Discovery, BandOfName) {
    EXPECT_EQ(bandOfName("x_R.fit"), Band::red);
    EXPECT_EQ(bandOfName("x_g.FIT"), Band::green);
    EXPECT_EQ(bandOfName("B.fit"), Band::blue);
    EXPECT_EQ(bandOfName("Rfit"), Band::red);  // fewer than five characters: the first one
    EXPECT_EQ(bandOfName(""), std::nullopt);
    EXPECT_EQ(bandOfName("x_Q.fit"), std::nullopt);
    // Every listed frame carries the band of the pattern that found it.
    TempDir dir;
    for (const char* name : {"a_b.fit", "b_G.FIT", "c_r.fit"}) writeFile(dir / name, "x");
    const ImageFileList list = discoverImages(dir.path());
    ASSERT_EQ(list.files.size(), 3u);
    EXPECT_EQ(list.files[0].band, Band::red);
    EXPECT_EQ(list.files[1].band, Band::green);
    EXPECT_EQ(list.files[2].band, Band::blue);
}

TEST(Discovery, BandBeforeTheExtension) {
    EXPECT_EQ(bandBeforeExtension("x_R.fits"), Band::red);
    EXPECT_EQ(bandBeforeExtension("x_g.FTS"), Band::green);
    EXPECT_EQ(bandBeforeExtension("M42-b.fit.fz"), Band::blue);
    EXPECT_EQ(bandBeforeExtension("x_R.fits.gz"), Band::red);
    EXPECT_EQ(bandBeforeExtension("x_0001_R.fit"), Band::red);
    EXPECT_EQ(bandBeforeExtension("night7G.fits"), Band::green);  // a digit before: alone
    EXPECT_EQ(bandBeforeExtension("R.fits"), Band::red);          // nothing before: alone
    // A letter that ends a word, a band letter elsewhere, no FITS extension: no band.
    EXPECT_EQ(bandBeforeExtension("Clear.fits"), std::nullopt);
    EXPECT_EQ(bandBeforeExtension("Blob.fts"), std::nullopt);
    EXPECT_EQ(bandBeforeExtension("Light_R_0001.fits"), std::nullopt);
    EXPECT_EQ(bandBeforeExtension("x_R.png"), std::nullopt);
    EXPECT_EQ(bandBeforeExtension("x_R.fits.zip"), std::nullopt);
    EXPECT_EQ(bandBeforeExtension(".fits"), std::nullopt);
}

TEST(Discovery, AClassicFrameFoundTwiceIsLeftOutAfterTheFirst) {
    TempDir dir;
    test::FrameRecipe f;
    test::writeFrame(dir / "a_R.fit", f);
    std::filesystem::copy_file(dir / "a_R.fit", dir / "b_R.fit");
    test::FrameRecipe later = f;
    later.date = "2026-03-15T20:00:01";
    test::writeFrame(dir / "c_R.fit", later);
    // The same moment in another band is another frame.
    test::writeFrame(dir / "d_G.fit", f);
    // Frames without DATE-OBS are never the same exposure.
    const std::string bytes = test::frameBytes(f);
    std::string undated = bytes;
    undated.replace(undated.find("DATE-OBS"), 80, std::string(80, ' '));
    writeFile(dir / "e_B.fit", undated);
    writeFile(dir / "f_B.fit", undated);
    const ImageFileList list = discoverImages(dir.path());
    std::vector<std::string> reasons;
    for (const ListedFile& l : list.files) reasons.push_back(l.name + ": " + l.whyLeftOut);
    EXPECT_EQ(reasons,
              (std::vector<std::string>{"a_R.fit: ", "b_R.fit: the same exposure as a_R.fit",
                                        "c_R.fit: ", "d_G.fit: ", "e_B.fit: ", "f_B.fit: "}));
    EXPECT_EQ(list.bandCounts, (std::array<int, 3>{3, 1, 2}));
}

}  // namespace
}  // namespace orvel
