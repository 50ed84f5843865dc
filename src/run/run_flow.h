// One run of the program: the phases in their fixed order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/graphics_window.h"
#include "run/options.h"

namespace orvel {

struct RunEnvironment {
    Console& console;              // the dialogue
    GraphicsWindow& window;        // the picture window (image, then graph)
    std::filesystem::path folder;  // frames are read here; log and graph are written here
    RunOptions options = {};       // how the frames are found, read and measured
    // Windows added beside the described one: the labelled plot of the fit, and the magnified
    // view of the image about the pointer. None (null) where a run has no room for them.
    GraphicsWindow* plotWindow = nullptr;
    GraphicsWindow* magnifierWindow = nullptr;
    // The options as given but --dir (each name followed by its value): the command printed
    // at the end to repeat the run passes them on.
    std::vector<std::string> givenWords = {};
};

// Runs the whole dialogue. Returns the process exit status.
int runOrvel(RunEnvironment& env);

// The introduction shown before the first question.
void printIntroduction(Console& console);

}  // namespace orvel
