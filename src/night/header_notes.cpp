#include "night/header_notes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace orvel {

std::string frameTimesNote(const NightRecord& night) {
    std::vector<std::string> ways;
    for (const FrameRecord& f : night.frames) {
        const std::string& cards = f.header.timeCards;
        // Each way once, however many frames share it.
        if (!cards.empty() && std::find(ways.begin(), ways.end(), cards) == ways.end())
            ways.push_back(cards);
    }
    if (ways.empty()) return {};
    std::string note = "Frame times (UTC) taken from ";
    for (std::size_t i = 0; i < ways.size(); ++i) note += (i == 0 ? "" : "; ") + ways[i];
    return note + ".";
}

std::string gainSettingNote(const NightRecord& night) {
    for (const FrameRecord& f : night.frames) {
        if (!std::isfinite(f.header.gainSetting)) continue;
        char value[32];
        std::snprintf(value, sizeof value, "%g", f.header.gainSetting);
        return std::string("The frames' GAIN (") + value +
               ") is the camera's setting, not electrons per ADU; the noise model takes --gain.";
    }
    return {};
}

}  // namespace orvel
