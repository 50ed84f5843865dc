// One run of the program: the phases in their fixed order.
#pragma once

#include <filesystem>

#include "platform/console.h"
#include "platform/graphics_window.h"

namespace orvel {

struct RunEnvironment {
    Console& console;                  // the dialogue
    GraphicsWindow& window;            // the picture window (image, then graph)
    std::filesystem::path folder;      // frames are read here; log and graph are written here
};

// Runs the whole dialogue. Returns the process exit status.
int runOrvel(RunEnvironment& env);

// The introduction shown before the first question.
void printIntroduction(Console& console);

}  // namespace orvel
