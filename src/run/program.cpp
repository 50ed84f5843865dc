#include "run/program.h"

namespace orvel {

int programMain(int, char**) { return 0; }

}  // namespace orvel
