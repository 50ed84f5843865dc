// The magnified view beside the picture of the first image: a square of image pixels about the
// place the pointer rests on (or the last click), each pixel a block of screen pixels, with a
// line saying what to click. A click in the view picks the image pixel under it, so that a star
// one screen pixel wide in the picture can be seen and hit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "fits/pixel_image.h"
#include "platform/graphics_window.h"
#include "platform/raster.h"

namespace orvel {

// The view's size: image pixels across and down, and screen pixels per image pixel.
inline constexpr int kMagnifiedSpan = 40;
inline constexpr int kMagnification = 8;
// Height of the strip of text under the view, screen pixels.
inline constexpr int kMagnifierTextHeight = 24;

// What the view shows: the first image as the picture shows it.
struct MagnifiedFrame {
    const PixelImage* image = nullptr;  // the whole first image
    float p1 = 0.0f;                    // grey level 0 at and below, DC
    float p999 = 0.0f;                  // grey level 255 at and above, DC
    int screenFactor = 1;               // image pixels per picture pixel
};

// An image pixel: column and row from 0.
struct ImagePixel {
    long long column = 0;
    long long row = 0;
};

// Where a window goes on the desktop: its client area's top-left corner, desktop pixels.
struct WindowPlace {
    int left = 0;
    int top = 0;
};

// A place for a window of width x height that covers none of the picture of pictureWidth x
// pictureHeight at the desktop's top-left corner: to its right, else below it, else (no room
// beside it) in the desktop's bottom-right corner; never off the desktop's top-left.
WindowPlace placeBesidePicture(DesktopSize desktop, int pictureWidth, int pictureHeight, int width,
                               int height);

class Magnifier {
  public:
    // With no window (null) nothing is shown and a pick is the picture's own wait.
    Magnifier(GraphicsWindow* window, MagnifiedFrame frame);
    ~Magnifier();
    Magnifier(const Magnifier&) = delete;
    Magnifier& operator=(const Magnifier&) = delete;

    // Opens the view beside the picture (pictureWidth x pictureHeight at the desktop's corner),
    // about the middle of the image. The run goes on without it when it cannot open.
    void open(DesktopSize desktop, int pictureWidth, int pictureHeight);
    bool isOpen() const { return window_ != nullptr && window_->isOpen(); }
    void close();

    // The line under the view: what the user is asked to do now.
    void say(std::string_view line);
    // Centres the view on the image pixel shown at picture pixel (x, y).
    void showAbout(double x, double y);
    // The image pixel shown at view pixel (x, y); empty outside the magnified square.
    std::optional<ImagePixel> imagePixelAt(int x, int y) const;

    // Waits for a click in the picture or in the view. A click in the view comes back as the
    // picture pixel showing the image pixel under it, as if clicked there, and is marked in the
    // view; a click in the picture centres the view on it. Throws SessionEnded as the picture's
    // own wait does; closing the view only ends the view.
    Click waitForPick(GraphicsWindow& picture);

  private:
    std::optional<Click> clickInView(const GraphicsWindow& picture);
    void followPointer(const std::optional<Click>& pointer);
    void draw();
    void drawPixels();
    void drawMarks();
    void drawLine();

    GraphicsWindow* window_;
    MagnifiedFrame frame_;
    ImagePixel centre_;                     // image pixel in the middle of the view
    std::optional<ImagePixel> picked_;      // image pixel last picked in the view, marked there
    std::string line_;                      // the text under the view
    Raster lettering_;                      // that text drawn, kept until the text changes
    std::optional<Click> lastPointer_;      // pointer place over the picture at the last look
    std::optional<Click> lastViewPointer_;  // pointer place over the view at the last look
    bool pointerInView_ = false;            // the pointer moved in the view last
    int restLooks_ = 0;                     // looks for which it has not moved on the picture
};

}  // namespace orvel
