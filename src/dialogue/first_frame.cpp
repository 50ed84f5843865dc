#include "dialogue/first_frame.h"

#include <string>

#include "analysis/image_statistics.h"
#include "dialogue/first_image.h"
#include "dialogue/magnifier.h"
#include "dialogue/star_picks.h"
#include "night/night_log.h"
#include "platform/session_end.h"

namespace orvel {

StarPicker interactivePicker(DesktopSize desktop, Console& console, GraphicsWindow& window,
                             GraphicsWindow* magnifierWindow, PickRecorder& picks) {
    return [desktop, &console, &window, magnifierWindow, &picks](
               const PixelImage& image, const FirstImageStats& stats, std::string_view name) {
        picks.firstImage(stats);
        const ScreenFactor sf =
            screenFactor(image.columns, image.rows, desktop.width, desktop.height);
        picks.screenFactor(sf);
        if (!showFirstImage(window, image, stats.p1, stats.p999, sf.factor, name)) {
            std::string reason = window.noDisplayReason();
            throw SessionEnded{"No window can be opened to pick the star" +
                               (reason.empty() ? std::string(".") : ": " + reason)};
        }
        console.endLine();
        // The view beside the picture, about the image's middle until the pointer rests.
        Magnifier magnifier(magnifierWindow, {&image, stats.p1, stats.p999, sf.factor});
        magnifier.open(desktop, window.surface().width(), window.surface().height());
        return selectStarAndBackground(window, magnifier, console, picks,
                                       {image.columns, image.rows, static_cast<float>(sf.factor)});
    };
}

}  // namespace orvel
