// The program's entry: command line, real console and window, then the run.
#pragma once

namespace orvel {

int programMain(int argc, char** argv);

}  // namespace orvel
