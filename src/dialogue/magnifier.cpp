#include "dialogue/magnifier.h"

#include <algorithm>

#include "analysis/image_statistics.h"
#include "base/numeric.h"
#include "picture/lettered_line.h"

namespace orvel {

namespace {

constexpr int kViewSide = kMagnifiedSpan * kMagnification;  // screen pixels
constexpr int kHalfSpan = kMagnifiedSpan / 2;               // image pixels left of the middle
// Room left between the picture and the view for the window frames, desktop pixels.
constexpr int kFrameGap = 24;
// Looks (about 10 ms apart while waiting) the pointer must rest before the view follows it:
// a pointer swept over the picture towards the view leaves the view where it was.
constexpr int kRestLooks = 15;
constexpr double kTextSize = 13.0;  // pixels

constexpr Rgb kOutside{40, 40, 64};   // beyond the image's edges
constexpr Rgb kCrosshair{0, 200, 0};  // about the pixel in the middle
constexpr Rgb kPicked{255, 0, 0};     // the pixel picked in the view, as the picture's marks
constexpr Rgb kInk{255, 255, 255};    // the text
constexpr Rgb kPaper{32, 32, 32};     // under the text

// The picture pixel that shows image column (or row) v: the picture shows every
// screenFactor-th pixel, so the nearest one shown (halves to even).
float picturePlace(long long v, int screenFactor) {
    return static_cast<float>(toInt(static_cast<double>(v) / screenFactor));
}

bool movedFrom(const std::optional<Click>& now, const std::optional<Click>& before) {
    if (now.has_value() != before.has_value()) return true;
    return now && (now->x != before->x || now->y != before->y);
}

}  // namespace

WindowPlace placeBesidePicture(DesktopSize desktop, int pictureWidth, int pictureHeight, int width,
                               int height) {
    // To the right leaves the picture and the console below it in view.
    if (pictureWidth + kFrameGap + width <= desktop.width) return {pictureWidth + kFrameGap, 0};
    // The window frame's title bar takes room above the view's client area as well.
    const int below = pictureHeight + 2 * kFrameGap;
    if (below + height <= desktop.height) return {0, below};
    return {std::max(0, desktop.width - width), std::max(0, desktop.height - height)};
}

Magnifier::Magnifier(GraphicsWindow* window, MagnifiedFrame frame)
    : window_(window), frame_(frame) {}

Magnifier::~Magnifier() {
    close();
}

void Magnifier::open(DesktopSize desktop, int pictureWidth, int pictureHeight) {
    if (window_ == nullptr || frame_.image == nullptr) return;
    const int height = kViewSide + kMagnifierTextHeight;
    const WindowPlace at =
        placeBesidePicture(desktop, pictureWidth, pictureHeight, kViewSide, height);
    if (!window_->create("ORVEL magnifier", at.left, at.top, kViewSide, height)) return;
    window_->attach(DrawMode::buffered);
    centre_ = {frame_.image->columns / 2, frame_.image->rows / 2};
    draw();
}

void Magnifier::close() {
    if (isOpen()) window_->close();
}

void Magnifier::say(std::string_view line) {
    if (line == line_) return;
    line_ = line;
    lettering_ = Raster();
    if (!isOpen()) return;
    drawLine();
    window_->redraw();
}

void Magnifier::showAbout(double x, double y) {
    const ImagePixel about{toInteger(x * frame_.screenFactor), toInteger(y * frame_.screenFactor)};
    if (about.column == centre_.column && about.row == centre_.row && !picked_) return;
    centre_ = about;
    picked_.reset();
    if (isOpen()) draw();
}

std::optional<ImagePixel> Magnifier::imagePixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= kViewSide || y >= kViewSide) return std::nullopt;
    return ImagePixel{centre_.column - kHalfSpan + x / kMagnification,
                      centre_.row - kHalfSpan + y / kMagnification};
}

Click Magnifier::waitForPick(GraphicsWindow& picture) {
    if (!isOpen()) return picture.waitForClick();
    bool inView = false;
    const Click click = picture.waitForClick([&] {
        std::optional<Click> handed = clickInView(picture);
        inView = handed.has_value();
        return handed;
    });
    if (!inView) showAbout(click.x, click.y);
    return click;
}

// One look at the view while the picture waits: its closing, the pointer, a click in it.
std::optional<Click> Magnifier::clickInView(const GraphicsWindow& picture) {
    if (!isOpen()) return std::nullopt;
    window_->pumpEvents();
    // The user may close the view; the picks go on in the picture.
    if (window_->closedByUser()) {
        close();
        return std::nullopt;
    }
    followPointer(picture.pointer());
    const Click click = window_->clickQuery();
    if (click.flag == 0) return std::nullopt;
    const std::optional<ImagePixel> pixel = imagePixelAt(toInt(click.x), toInt(click.y));
    // A click on the text under the view picks nothing.
    if (!pixel) return std::nullopt;
    picked_ = pixel;
    draw();
    const int sf = frame_.screenFactor;
    return Click{click.flag, picturePlace(pixel->column, sf), picturePlace(pixel->row, sf)};
}

// The view follows the pointer over the picture once it rests there; while the pointer is in
// the view (it moved there last) the view stays, so that it can be clicked.
void Magnifier::followPointer(const std::optional<Click>& overPicture) {
    const std::optional<Click> overView = window_->pointer();
    const bool inView = movedFrom(overView, lastViewPointer_);
    const bool onPicture = movedFrom(overPicture, lastPointer_);
    lastViewPointer_ = overView;
    lastPointer_ = overPicture;
    // Both in one look: the pointer swept over the picture's edge into the view.
    if (inView) {
        pointerInView_ = true;
        return;
    }
    if (onPicture) {
        pointerInView_ = false;
        restLooks_ = 0;
        return;
    }
    if (pointerInView_ || !overPicture || ++restLooks_ != kRestLooks) return;
    showAbout(overPicture->x, overPicture->y);
}

void Magnifier::draw() {
    drawPixels();
    drawMarks();
    drawLine();
    window_->redraw();
}

// Each image pixel a square block in the picture's grey levels (the same stretch).
void Magnifier::drawPixels() {
    const PixelImage& image = *frame_.image;
    for (int j = 0; j < kMagnifiedSpan; ++j) {
        for (int i = 0; i < kMagnifiedSpan; ++i) {
            const long long column = centre_.column - kHalfSpan + i;
            const long long row = centre_.row - kHalfSpan + j;
            Rgb colour = kOutside;
            if (image.contains(column, row) && image.holdsRow(row) && image.holdsColumn(column)) {
                const int g = toInt(greyLevel(image.at(column, row), frame_.p1, frame_.p999));
                colour = {g, g, g};
            }
            const int x = i * kMagnification, y = j * kMagnification;
            window_->box(x, y, x + kMagnification - 1, y + kMagnification - 1, colour, colour);
        }
    }
}

// A crosshair about the middle pixel that leaves it and its neighbours clear, and a square
// about the pixel picked in the view.
void Magnifier::drawMarks() {
    const int lo = kHalfSpan * kMagnification, hi = lo + kMagnification - 1;
    const int mid = lo + kMagnification / 2, clear = 2 * kMagnification;
    window_->box(lo - 1, lo - 1, hi + 1, hi + 1, kCrosshair, std::nullopt);
    window_->line(mid, 0, mid, lo - clear, kCrosshair);
    window_->line(mid, hi + clear, mid, kViewSide - 1, kCrosshair);
    window_->line(0, mid, lo - clear, mid, kCrosshair);
    window_->line(hi + clear, mid, kViewSide - 1, mid, kCrosshair);
    if (!picked_) return;
    const long long i = picked_->column - (centre_.column - kHalfSpan);
    const long long j = picked_->row - (centre_.row - kHalfSpan);
    const double x = static_cast<double>(i * kMagnification);
    const double y = static_cast<double>(j * kMagnification);
    window_->box(x - 2, y - 2, x + kMagnification + 1, y + kMagnification + 1, kPicked,
                 std::nullopt);
}

void Magnifier::drawLine() {
    if (lettering_.width() == 0 && !line_.empty())
        lettering_ = letteredLine(line_, kViewSide, kMagnifierTextHeight, kTextSize, kInk, kPaper);
    for (int y = 0; y < kMagnifierTextHeight; ++y)
        for (int x = 0; x < kViewSide; ++x)
            window_->setPixel(x, kViewSide + y,
                              lettering_.width() > 0 ? lettering_.pixel(x, y) : kPaper);
}

}  // namespace orvel
