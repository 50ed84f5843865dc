#include "base/display_text.h"

#include <gtest/gtest.h>

#include "base/console_text.h"

namespace orvel {
namespace {

TEST(DisplaySafe, ControlCharactersBecomeHexEscapes) {
    // ESC [ 3 1 m (a colour change) and BEL, as a FILTER card might hold them.
    EXPECT_EQ(displaySafe("Ha\x1b[31m\x07"), "Ha\\x1b[31m\\x07");
    EXPECT_EQ(displaySafe(std::string_view("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(displaySafe("\t\x1f\x7f"), "\\x09\\x1f\\x7f");
}

TEST(DisplaySafe, LineFeedsAreKeptOnlyWhenTheyAreTheProgramsOwn) {
    EXPECT_EQ(displaySafe("we,ird\"\n\r\x01name_R.fit"), "we,ird\"\\x0a\\x0d\\x01name_R.fit");
    EXPECT_EQ(displaySafe("one\ntwo\r\n", LineFeeds::kept), "one\ntwo\\x0d\n");
}

TEST(DisplaySafe, TextWithoutControlsIsUnchanged) {
    // Printable ASCII, and UTF-8 whose continuation bytes lie in 0x80..0x9f (± is C2 B1, σ is
    // CF 83, € is E2 82 AC).
    const std::string plain = "k = 0.2699 \xc2\xb1 0.0061 (4.1\xcf\x83) \xe2\x82\xac ~";
    EXPECT_EQ(displaySafe(plain), plain);
    // Bytes of another encoding above the C1 range stay as they are (Latin-1 "\xd1", 0xff 0xfe).
    EXPECT_EQ(displaySafe("\xd1\xff\xfe_G.fit"), "\xd1\xff\xfe_G.fit");
}

TEST(DisplaySafe, C1ControlsAreEscapedAsLoneBytesAndInTheirUtf8Form) {
    // 0x9b is CSI on a terminal of 8-bit controls; C2 9B is U+009B, the same in UTF-8.
    EXPECT_EQ(displaySafe("a\x9b[31m"), "a\\x9b[31m");
    EXPECT_EQ(displaySafe("a\xc2\x9b[31m"), "a\\xc2\\x9b[31m");
    EXPECT_EQ(displaySafe("\xc2\x80\xc2\x9f\xc2\xa0"), "\\xc2\\x80\\xc2\\x9f\xc2\xa0");
    // Not UTF-8: an overlong lead byte, a cut character and a lone continuation byte.
    EXPECT_EQ(displaySafe("\xc0\x80"), "\xc0\\x80");
    EXPECT_EQ(displaySafe("\xe2\x82"), "\xe2\\x82");
    EXPECT_EQ(displaySafe("\xed\xa0\x80"), "\xed\xa0\\x80");
}

TEST(ConsoleLines, ALineEndInsideALinesTextIsData) {
    BufferedConsoleText console;
    console.printLine("File a\nb\x1b_R.fit is not used: reason.");
    console.print("PROCESSING FILE ");
    console.endLine();
    EXPECT_EQ(console.text(), "File a\\x0ab\\x1b_R.fit is not used: reason.\nPROCESSING FILE \n");
}

}  // namespace
}  // namespace orvel
