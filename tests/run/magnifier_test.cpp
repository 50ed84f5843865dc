// The magnified view beside the picture of the first image: what it shows, where it opens, a
// pick made in it, and a whole run whose star is picked through it against the simulator's
// truth.
#include "dialogue/magnifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/scripted_console.h"
#include "platform/scripted_window.h"
#include "run/run_flow.h"
#include "support/test_support.h"

namespace orvel {
namespace {

using test::TempDir;

constexpr Rgb kGreen{0, 200, 0};
constexpr Rgb kRed{255, 0, 0};

// 100 x 80 pixels of 100 DC, with pixel (50, 40) at 1000 and (51, 40) at 550: between the
// cuts 100 and 1000 they show as grey 0, 255 and 127.5, drawn 128.
PixelImage testImage() {
    PixelImage image = test::flatImage(100, 80, 100.0f);
    image.at(50, 40) = 1000.0f;
    image.at(51, 40) = 550.0f;
    return image;
}

// A picture window of 50 x 40 for the image above at screen factor 2.
void openPicture(ScriptedWindow& picture) {
    ASSERT_TRUE(picture.create("frame", 0, 0, 50, 40));
}

TEST(Magnifier, OpensRightOfThePictureWithEachImagePixelAnEightPixelBlock) {
    const PixelImage image = testImage();
    ScriptedWindow view;
    Magnifier magnifier(&view, {&image, 100.0f, 1000.0f, 2});
    magnifier.open({1920, 1080}, 50, 40);
    ASSERT_EQ(view.created().size(), 1u);
    EXPECT_EQ(view.created()[0].left, 50 + 24);
    EXPECT_EQ(view.created()[0].top, 0);
    EXPECT_EQ(view.created()[0].width, 320);
    EXPECT_EQ(view.created()[0].height, 320 + 24);
    // The middle of the image, (50, 40), fills the block at (160, 160), framed by the crosshair.
    const Raster& shown = view.shown();
    EXPECT_EQ(shown.pixel(161, 161), (Rgb{255, 255, 255}));
    EXPECT_EQ(shown.pixel(166, 166), (Rgb{255, 255, 255}));
    EXPECT_EQ(shown.pixel(159, 163), kGreen);
    // (51, 40) to its right, (49, 40) to its left.
    EXPECT_EQ(shown.pixel(172, 161), (Rgb{128, 128, 128}));
    EXPECT_EQ(shown.pixel(152, 161), (Rgb{0, 0, 0}));
}

TEST(Magnifier, ShowsTheImageAboutThePlaceAskedAndNothingBeyondItsEdges) {
    const PixelImage image = testImage();
    ScriptedWindow view;
    Magnifier magnifier(&view, {&image, 100.0f, 1000.0f, 2});
    magnifier.open({1920, 1080}, 50, 40);
    // Picture pixel (25, 20) shows image pixel (50, 40); (0, 0) shows the image's corner.
    magnifier.showAbout(25.5, 20);  // 51 columns in: the brighter pixel moves left one block
    EXPECT_EQ(view.shown().pixel(152, 161), (Rgb{255, 255, 255}));
    magnifier.showAbout(0, 0);
    const std::optional<ImagePixel> corner = magnifier.imagePixelAt(160, 160);
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->column, 0);
    EXPECT_EQ(corner->row, 0);
    EXPECT_EQ(view.shown().pixel(100, 100), (Rgb{40, 40, 64}));  // column -8, row -8
    EXPECT_EQ(view.shown().pixel(200, 200), (Rgb{0, 0, 0}));     // column 5, row 5
    EXPECT_FALSE(magnifier.imagePixelAt(100, 330));              // the text under the view
}

TEST(Magnifier, GoesBelowThePictureOrIntoTheCornerWhenThereIsNoRoomBeside) {
    EXPECT_EQ(placeBesidePicture({1920, 1080}, 1333, 867, 320, 344).left, 1357);
    const WindowPlace below = placeBesidePicture({1920, 1080}, 1700, 500, 320, 344);
    EXPECT_EQ(below.left, 0);
    EXPECT_EQ(below.top, 548);
    const WindowPlace corner = placeBesidePicture({1920, 1080}, 1700, 900, 320, 344);
    EXPECT_EQ(corner.left, 1600);
    EXPECT_EQ(corner.top, 736);
    const WindowPlace tiny = placeBesidePicture({300, 200}, 280, 190, 320, 344);
    EXPECT_EQ(tiny.left, 0);
    EXPECT_EQ(tiny.top, 0);
}

TEST(Magnifier, AClickInTheViewIsThePicturePixelShowingTheImagePixelUnderIt) {
    const PixelImage image = testImage();
    ScriptedWindow picture, view;
    openPicture(picture);
    Magnifier magnifier(&view, {&image, 100.0f, 1000.0f, 2});
    magnifier.open({1920, 1080}, 50, 40);
    // Block (23, 17) of the view about (50, 40) is image pixel (53, 37): picture (26.5, 18.5),
    // which round half to even to (26, 18).
    view.addClick(23 * 8 + 3, 17 * 8 + 5);
    const Click click = magnifier.waitForPick(picture);
    EXPECT_EQ(click.flag, 1);
    EXPECT_EQ(click.x, 26.0f);
    EXPECT_EQ(click.y, 18.0f);
    // The pick is framed in red; the view stays where it was.
    EXPECT_EQ(view.shown().pixel(23 * 8 - 2, 17 * 8 + 4), kRed);
    EXPECT_EQ(magnifier.imagePixelAt(160, 160)->column, 50);
}

TEST(Magnifier, AClickInThePictureCentresTheViewAndClosingTheViewLeavesThePicks) {
    const PixelImage image = testImage();
    ScriptedWindow picture, view;
    openPicture(picture);
    Magnifier magnifier(&view, {&image, 100.0f, 1000.0f, 2});
    magnifier.open({1920, 1080}, 50, 40);
    picture.addClick(10, 5);
    const Click first = magnifier.waitForPick(picture);
    EXPECT_EQ(first.x, 10.0f);
    EXPECT_EQ(magnifier.imagePixelAt(160, 160)->column, 20);
    EXPECT_EQ(magnifier.imagePixelAt(160, 160)->row, 10);
    view.addClose();
    picture.addClick(30, 30);
    const Click second = magnifier.waitForPick(picture);
    EXPECT_EQ(second.x, 30.0f);
    EXPECT_FALSE(magnifier.isOpen());
    EXPECT_EQ(view.closeCount(), 1);
}

// The picture's pointer rests at (10, 5), image pixel (20, 10), for the whole wait; the view
// is clicked in its middle block after `looks` looks. Where that click lands, in the picture.
Click middleClickAfterRest(ScriptedWindow& picture, ScriptedWindow& view, int looks,
                           bool pointerInView) {
    const PixelImage image = testImage();
    openPicture(picture);
    Magnifier magnifier(&view, {&image, 100.0f, 1000.0f, 2});
    magnifier.open({1920, 1080}, 50, 40);
    picture.movePointerNow(10, 5);
    if (pointerInView) view.movePointerNow(100, 100);
    for (int i = 0; i < looks + 10; ++i) picture.addPause();
    for (int i = 1; i < looks; ++i) view.addPause();
    view.addClick(164, 164);
    return magnifier.waitForPick(picture);
}

TEST(Magnifier, TheViewFollowsThePointerOnlyOnceItHasRestedOnThePicture) {
    ScriptedWindow picture, view;
    // Fifteen looks of rest move the view from the image's middle (50, 40) to (20, 10).
    const Click rested = middleClickAfterRest(picture, view, 20, false);
    EXPECT_EQ(rested.x, 10.0f);
    EXPECT_EQ(rested.y, 5.0f);
    ScriptedWindow picture2, view2;
    const Click early = middleClickAfterRest(picture2, view2, 10, false);
    EXPECT_EQ(early.x, 25.0f);
    EXPECT_EQ(early.y, 20.0f);
}

TEST(Magnifier, TheViewStaysWhereItIsWhileThePointerIsInIt) {
    ScriptedWindow picture, view;
    // The pointer moved over the picture's edge into the view: the view does not follow it.
    const Click click = middleClickAfterRest(picture, view, 20, true);
    EXPECT_EQ(click.x, 25.0f);
    EXPECT_EQ(click.y, 20.0f);
}

// A console that does something when it hands over a given line (the user clicks in the
// magnifier after answering a question).
class ActingConsole : public ScriptedConsole {
  public:
    ActingConsole(std::vector<std::string> lines, std::size_t at, std::function<void()> act)
        : ScriptedConsole(std::move(lines)), at_(at), act_(std::move(act)) {}
    std::optional<std::string> readLine() override {
        std::optional<std::string> line = ScriptedConsole::readLine();
        if (++read_ == at_) act_();
        return line;
    }

  private:
    std::size_t at_;
    std::size_t read_ = 0;
    std::function<void()> act_;
};

// The number after the n-th (from 0) occurrence of the label in the log.
double logValue(const std::string& log, const std::string& label, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i) at = log.find(label, i == 0 ? 0 : at + 1);
    return at == std::string::npos ? NAN : std::stod(log.substr(at + label.size()));
}

TEST(MagnifiedRun, AStarPickedInTheMagnifierIsTheStarTheSimulatorPutThere) {
    TempDir dir;
    // 960 x 720 on a desktop of 320 x 240: screen factor 4, a picture of 240 x 180, in which
    // the star (613.4, 402.7) is hardly more than a pixel.
    const std::string command =
        std::string(ORVEL_BINARY_DIR) + "/orvel-simulate --out " + dir.path().string() +
        " --size 960x720 --star 613.4,402.7 --frames 2 --seed 5 > " + (dir / "typed.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string said = test::readFile(dir / "typed.txt");
    ASSERT_NE(said.find("613.40, 402.70"), std::string::npos) << said;
    ScriptedWindow picture(DesktopSize{320, 240}), view;
    // A first click three picture pixels right of the star and two above, rejected; the
    // magnifier then shows image pixels 604..643 by 376..415 about (624, 396).
    picture.addClick(156, 99);
    picture.addClick(20, 20);
    // After the "N": the star's pixel (613, 403) is block (9, 27) of the view.
    ActingConsole console(
        {"y", "35,0,0", "-106,30,0", "9,5,0", "34,30,0", "N", "Y", "Y", "N", "N", "X"}, 6,
        [&view] { view.clickNow(9 * 8 + 4, 27 * 8 + 4); });
    RunEnvironment env{console, picture, dir.path()};
    env.magnifierWindow = &view;
    ASSERT_EQ(runOrvel(env), 0) << console.transcript();
    const std::string log = test::readFile(dir / "ORVEL_LOG.txt");
    // The second pick is logged as the picture pixel showing (613, 403): 613/4 = 153.25 and
    // 403/4 = 100.75 round to (153, 101).
    EXPECT_EQ(logValue(log, "   COLUMN = ", 1), 153.0);
    EXPECT_EQ(logValue(log, "      ROW = ", 1), 101.0);
    const std::string brightest = "Target star position in original image by brightest pixel:";
    const std::size_t at = log.find(brightest);
    ASSERT_NE(at, std::string::npos);
    const std::string measured = log.substr(at);
    EXPECT_EQ(logValue(measured, "   COLUMN = ", 0), 613.0);
    EXPECT_EQ(logValue(measured, "      ROW = ", 0), 403.0);
    // The centroid over the search square of 81 x 81 noisy pixels, within a pixel.
    EXPECT_NEAR(logValue(measured, "   COLUMN = ", 1), 613.4, 1.0);
    EXPECT_NEAR(logValue(measured, "      ROW = ", 1), 402.7, 1.0);
    EXPECT_FALSE(view.isOpen());
    // No room beside or below the picture on so small a desktop: its top-left corner.
    EXPECT_EQ(view.created().at(0).left, 0);
    EXPECT_EQ(view.created().at(0).top, 0);
}

}  // namespace
}  // namespace orvel
