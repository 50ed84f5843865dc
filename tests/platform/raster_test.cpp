#include "platform/raster.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "support/test_support.h"

namespace orvel {
namespace {

constexpr Rgb kInk{255, 0, 0};
constexpr Rgb kPaint{0, 0, 255};

// The surface as text: '#' for ink, 'o' for paint, '.' for anything else.
std::vector<std::string> picture(const Raster& r) {
    std::vector<std::string> rows;
    for (int y = 0; y < r.height(); ++y) {
        std::string row;
        for (int x = 0; x < r.width(); ++x) {
            const Rgb p = r.pixel(x, y);
            row += p == kInk ? '#' : p == kPaint ? 'o' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

bool isInk(const Raster& r, int x, int y) {
    return r.pixel(x, y) == kInk;
}

// True when the outline shuts its inside off from the surface's border (4-connected fill
// from the border stops at the ink).
bool encloses(const Raster& r, int insideX, int insideY) {
    std::vector<char> seen(static_cast<std::size_t>(r.width() * r.height()), 0);
    std::vector<std::pair<int, int>> todo;
    for (int x = 0; x < r.width(); ++x) todo.insert(todo.end(), {{x, 0}, {x, r.height() - 1}});
    for (int y = 0; y < r.height(); ++y) todo.insert(todo.end(), {{0, y}, {r.width() - 1, y}});
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        if (x < 0 || y < 0 || x >= r.width() || y >= r.height()) continue;
        char& s = seen[static_cast<std::size_t>(y * r.width() + x)];
        if (s || isInk(r, x, y)) continue;
        s = 1;
        if (x == insideX && y == insideY) return false;
        todo.insert(todo.end(), {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}});
    }
    return true;
}

TEST(Raster, NewSurfaceIsFilledAndPixelsOutsideReadBlack) {
    const Raster r(3, 2, {240, 240, 240});
    EXPECT_EQ(r.pixel(2, 1), (Rgb{240, 240, 240}));
    EXPECT_EQ(r.pixel(3, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(r.pixel(-1, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(r.rgbBytes().size(), 18u);
}

TEST(Raster, SetPixelClipsAndClamps) {
    Raster r(4, 3);
    r.setPixel(-1, 0, kInk);
    r.setPixel(4, 0, kInk);
    r.setPixel(0, 3, kInk);
    r.setPixel(INT_MIN, INT_MAX, kInk);
    r.setPixel(1, 2, {300, -5, 128});
    EXPECT_EQ(picture(r), (std::vector<std::string>{"....", "....", "...."}));
    EXPECT_EQ(r.pixel(1, 2), (Rgb{255, 0, 128}));
}

TEST(Raster, BoxOutlineAndFillWithCornersInAnyOrder) {
    const std::vector<std::string> outline{"......", ".####.", ".#..#.", ".####.", "......"};
    const int corners[4][4] = {{1, 1, 4, 3}, {4, 3, 1, 1}, {4, 1, 1, 3}, {1, 3, 4, 1}};
    for (const auto& c : corners) {
        Raster r(6, 5);
        r.box(c[0], c[1], c[2], c[3], kInk, std::nullopt);
        EXPECT_EQ(picture(r), outline);
        r.box(c[0], c[1], c[2], c[3], kInk, kPaint);
        EXPECT_EQ(picture(r),
                  (std::vector<std::string>{"......", ".####.", ".#oo#.", ".####.", "......"}));
    }
}

TEST(Raster, BoxPartlyOrHugelyOutsideIsClipped) {
    Raster r(5, 4);
    r.box(-3, 2, 2, 10, kInk, kPaint);
    EXPECT_EQ(picture(r), (std::vector<std::string>{".....", ".....", "###..", "oo#.."}));
    Raster big(5, 4);
    big.box(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInk, kPaint);
    EXPECT_EQ(picture(big), (std::vector<std::string>{"ooooo", "ooooo", "ooooo", "ooooo"}));
}

TEST(Raster, LineDrawsBothEndPointsTheSameInEitherDirection) {
    Raster r(6, 3);
    r.line(0, 0, 5, 2, kInk);
    const std::vector<std::string> expected{"##....", "..##..", "....##"};
    EXPECT_EQ(picture(r), expected);
    Raster reverse(6, 3);
    reverse.line(5, 2, 0, 0, kInk);
    EXPECT_EQ(picture(reverse), expected);

    Raster steep(3, 5);
    steep.line(2, 4, 0, 0, kInk);
    EXPECT_EQ(picture(steep), (std::vector<std::string>{"#..", ".#.", ".#.", "..#", "..#"}));

    Raster dot(3, 3);
    dot.line(1, 1, 1, 1, kInk);
    EXPECT_EQ(picture(dot), (std::vector<std::string>{"...", ".#.", "..."}));
}

TEST(Raster, ClippedLineKeepsThePixelsOfTheWholeLine) {
    // The same segments drawn on a surface that holds them whole, shifted by (20, 10).
    const int segments[3][4] = {{-10, -4, 15, 6}, {7, -9, -2, 12}, {-5, 3, 30, 1}};
    for (const auto& s : segments) {
        Raster small(8, 6), whole(60, 40);
        small.line(s[0], s[1], s[2], s[3], kInk);
        whole.line(s[0] + 20, s[1] + 10, s[2] + 20, s[3] + 10, kInk);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 8; ++x) {
                EXPECT_EQ(isInk(small, x, y), isInk(whole, x + 20, y + 10)) << x << "," << y;
            }
        }
    }
}

TEST(Raster, HugeCoordinatesAreSafeAndCheap) {
    Raster r(10, 10);
    r.line(-1000000000, -1000000000, 1000000000, 1000000000, kInk);
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(isInk(r, i, i));
    Raster extremes(10, 10);
    extremes.line(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInk);
    extremes.line(INT_MAX, INT_MIN, INT_MIN, INT_MAX, kInk);
    extremes.line(INT_MIN, 5, INT_MAX, 5, kInk);
    EXPECT_TRUE(isInk(extremes, 9, 5));
    // A circle far larger than the surface: its outline passes outside, its fill covers all.
    Raster e(10, 10);
    e.ellipse(-1000000000, -1000000000, 1000000000, 1000000000, kInk, std::nullopt);
    EXPECT_EQ(picture(e), picture(Raster(10, 10)));
    e.ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInk, kPaint);
    EXPECT_EQ(e.pixel(0, 0), kPaint);
    EXPECT_EQ(e.pixel(9, 9), kPaint);
}

TEST(Raster, CircleOfRadiusFiveIsRoundClosedAndSymmetric) {
    Raster r(13, 13);
    r.ellipse(1, 1, 11, 11, kInk, std::nullopt);
    const std::vector<std::string> expected{
        ".............",  //
        "....#####....",  //
        "...#.....#...",  //
        "..#.......#..",  //
        ".#.........#.",  //
        ".#.........#.",  //
        ".#.........#.",  //
        ".#.........#.",  //
        ".#.........#.",  //
        "..#.......#..",  //
        "...#.....#...",  //
        "....#####....",  //
        ".............",
    };
    EXPECT_EQ(picture(r), expected);
    r.ellipse(1, 1, 11, 11, kInk, kPaint);
    EXPECT_EQ(r.pixel(6, 6), kPaint);
    EXPECT_EQ(r.pixel(2, 4), kPaint);
    EXPECT_EQ(r.pixel(2, 3), kInk);            // the outline is painted over the fill
    EXPECT_EQ(r.pixel(1, 3), (Rgb{0, 0, 0}));  // outside the curve stays untouched
}

TEST(Raster, EllipsesOfEverySmallSizeAreClosedSymmetricAndInside) {
    for (int w = 2; w <= 24; ++w) {
        for (int h = 2; h <= 24; h += 3) {
            Raster r(w + 3, h + 3);
            r.ellipse(1 + w, 1 + h, 1, 1, kInk, std::nullopt);  // corners reversed on purpose
            for (int y = 0; y < r.height(); ++y) {
                for (int x = 0; x < r.width(); ++x) {
                    const bool ink = isInk(r, x, y);
                    EXPECT_EQ(ink, isInk(r, w + 2 - x, y)) << w << "x" << h;
                    EXPECT_EQ(ink, isInk(r, x, h + 2 - y)) << w << "x" << h;
                    if (x < 1 || y < 1 || x > w + 1 || y > h + 1) {
                        EXPECT_FALSE(ink);
                    }
                }
            }
            EXPECT_TRUE(encloses(r, 1 + w / 2, 1 + h / 2)) << w << "x" << h;
        }
    }
}

TEST(Raster, FlatEllipsesBecomeLinesAndPoints) {
    Raster r(5, 5);
    r.ellipse(2, 0, 2, 3, kInk, kPaint);
    r.ellipse(0, 4, 3, 4, kInk, std::nullopt);
    EXPECT_EQ(picture(r), (std::vector<std::string>{"..#..", "..#..", "..#..", "..#..", "####."}));
    Raster p(3, 3);
    p.ellipse(1, 1, 1, 1, kInk, std::nullopt);
    EXPECT_EQ(picture(p), (std::vector<std::string>{"...", ".#.", "..."}));
}

// Little-endian field of the BMP bytes.
std::uint32_t field(const std::string& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

TEST(RasterBmp, GraphSizedPictureHasTheDocumentedHeader) {
    Raster r(640, 480, {255, 255, 255});
    r.setPixel(0, 479, {10, 20, 30});
    const std::string b = r.bmpBytes();
    ASSERT_EQ(b.size(), 921654u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(field(b, 2, 4), 921654u);
    EXPECT_EQ(field(b, 6, 4), 0u);
    EXPECT_EQ(field(b, 10, 4), 54u);
    EXPECT_EQ(field(b, 14, 4), 40u);
    EXPECT_EQ(field(b, 18, 4), 640u);
    EXPECT_EQ(field(b, 22, 4), 480u);
    EXPECT_EQ(field(b, 26, 2), 1u);
    EXPECT_EQ(field(b, 28, 2), 24u);
    for (std::size_t at = 30; at < 54; at += 4) EXPECT_EQ(field(b, at, 4), 0u) << at;
    // The bottom-left pixel comes first, blue, green, red.
    EXPECT_EQ(field(b, 54, 3), 0x0A141Eu);
    EXPECT_EQ(static_cast<unsigned char>(b[57]), 255);
}

TEST(RasterBmp, RowsAreBottomUpBgrAndPaddedWithZeros) {
    Raster r(3, 2);
    r.setPixel(0, 0, {1, 2, 3});
    r.setPixel(2, 0, {4, 5, 6});
    r.setPixel(1, 1, {7, 8, 9});
    const std::string b = r.bmpBytes();
    ASSERT_EQ(b.size(), 54u + 12u * 2u);
    EXPECT_EQ(field(b, 2, 4), 78u);
    const std::string bottom = b.substr(54, 12), top = b.substr(66, 12);
    EXPECT_EQ(bottom, std::string("\0\0\0\x09\x08\x07\0\0\0\0\0\0", 12));
    EXPECT_EQ(top, std::string("\x03\x02\x01\0\0\0\x06\x05\x04\0\0\0", 12));
}

TEST(RasterBmp, WritingReplacesALongerFileAndReportsFailure) {
    test::TempDir dir;
    const auto path = dir / "ORVEL.bmp";
    test::writeFile(path, std::string(5000, 'x'));
    const std::string bytes = Raster(3, 2).bmpBytes();
    ASSERT_TRUE(writeWholeFile(path, bytes));
    EXPECT_EQ(test::readFile(path), bytes);
    ASSERT_TRUE(writeWholeFile(dir / "new.bmp", bytes));
    EXPECT_EQ(test::readFile(dir / "new.bmp"), bytes);
    // A folder in the way, and a file where a folder should be, cannot be written.
    EXPECT_FALSE(writeWholeFile(dir.path(), bytes));
    EXPECT_FALSE(writeWholeFile(path / "inside.bmp", bytes));
}

TEST(Raster, APastedPictureIsCutAtTheEdges) {
    Raster small(3, 2, kInk);
    small.setPixel(1, 1, kPaint);
    small.setPixel(2, 0, kPaint);
    Raster r(5, 4);
    r.paste(small, 3, -1);  // hangs over the right and the top edge
    r.paste(small, -2, 3);  // over the left and the bottom edge
    EXPECT_EQ(picture(r), (std::vector<std::string>{"...#o", ".....", ".....", "o...."}));
    r.paste(small, 9, 9);  // wholly outside: nothing
    r.paste(Raster(), 0, 0);
    EXPECT_EQ(picture(r)[1], ".....");
}

}  // namespace
}  // namespace orvel
