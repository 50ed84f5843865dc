// orvel: measures atmospheric extinction from a night's RGB frames of one star.
#include "run/program.h"

int main(int argc, char** argv) { return orvel::programMain(argc, argv); }
