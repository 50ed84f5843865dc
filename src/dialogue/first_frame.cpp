#include "dialogue/first_frame.h"

#include <string>

#include "analysis/image_statistics.h"
#include "dialogue/first_image.h"
#include "dialogue/star_picks.h"
#include "night/night_log.h"
#include "platform/session_end.h"

namespace orvel {

StarPicker interactivePicker(DesktopSize desktop, Console& console, GraphicsWindow& window,
                             PickRecorder& picks) {
    return [desktop, &console, &window, &picks](
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
        return selectStarAndBackground(window, console, picks,
                                       {image.columns, image.rows, static_cast<float>(sf.factor)});
    };
}

}  // namespace orvel
