// The unattended command that repeats an interactive run: the typed coordinates, the picks and
// the removals written as the options that stand for them, with the run's own options.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dialogue/frame_setup.h"
#include "observing/observing_setup.h"
#include "run/options.h"

namespace orvel {

// The star and background clicks on the first frame's picture, every one in order: the last of
// each kind was confirmed, the earlier ones turned down.
struct PicksMade {
    std::vector<std::pair<float, float>> stars;        // window pixels (column, row)
    std::vector<std::pair<float, float>> backgrounds;  // window pixels (column, row)
    float screenFactor = 1.0f;                         // image pixels per window pixel
};

// What an interactive run was answered, gathered as the run goes.
struct RunAnswers {
    std::filesystem::path folder;            // the frames' folder, a whole path
    std::vector<std::string> givenWords;     // the run's own options as given, --dir left out
    ObservingSetup setup;                    // the coordinates as typed or taken
    std::array<bool, kCoordinates> taken{};  // each taken from the frames (Enter pressed)
    std::optional<PicksMade> picks;          // none when no frame was shown
    std::vector<FrameNameEdit> edits;        // the frames removed and put back, in order
    bool graphSaved = false;                 // ORVEL.bmp written in the folder
};

// The word as a POSIX shell reads it back unchanged: as it is when it holds only characters that
// mean nothing to a shell, otherwise in single quotes, each quote written '\''.
std::string shellWord(std::string_view word);

// "orvel --dir ... --star ..." on one line; empty when a word (a folder or frame name) holds a
// control character, which no line of text can show as it is.
std::optional<std::string> repeatCommand(const RunAnswers& answers);

// The text that says how to repeat the run: the command, or why it cannot be written.
std::string repeatText(const RunAnswers& answers);

}  // namespace orvel
