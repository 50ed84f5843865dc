#include <array>
#include <string_view>

#include "run/run_flow.h"

namespace orvel {

namespace {

// The introduction's lines, as shown before the first question.
constexpr std::array<std::string_view, 49> kIntroduction = {
    "             ***********************************",
    "             *                                 *",
    "             *      ATMOSPHERIC EXTINCTION     *",
    "             *      COEFFICIENT CALCULATOR     *",
    "             *                                 *",
    "             ",
    "             *                                 *",
    "             ***********************************",
    "",
    "This program calculates the values of atmospheric extinction",
    "coefficients (k) in the red, green and blue spectral bands",
    "from a set of FITS images of a target star acquired in the",
    "red, green and blue spectral bands.",
    "There are two requirements for the FITS image files:",
    "(1.) The images must all be co-registered so that the target",
    "     star appears in the same location in each image.",
    "(2.) The file names for the images must end in R, G or B, in-",
    "     dicating which spectral band each image is acquired in.",
    "     For example--  TARGETSTAR1_0001_R.FIT  ",
    "The executable file (ORVEL.EXE) for this program should be",
    "placed in the folder containing the set of FITS image files",
    "and run within that folder.",
    "",
    "Other information you have to input:",
    "",
    "  Latitude of observing site     degrees,minutes,seconds ",
    "                                 (separated by commas, degrees",
    "                                 should be negative for Southern",
    "                                 Hemisphere)",
    "  Longitude of observing site    degrees,minutes,seconds ",
    "                                 (separated by commas, degrees",
    "                                 should be negative for West",
    "                                 longitudes)",
    "  RA of the target star          hours,minutes,seconds ",
    "                                 (separated by commas)",
    "  Declination of the target star degrees, minutes, seconds",
    "                                 (separated by commas)",
    "",
    "As part of the results, this program will display a graph of the",
    "data (logarithm of stellar magnitude versus optical airmass) for ",
    "the set of images. The graph will show the calculated regression",
    "lines through the data, the slopes of which represent the values",
    "of the extinction coefficients in thre three spectral bands. You",
    "will be able to remove outlier points in the data, and the program",
    "will re-calculate the regressions based on these edits. When",
    "finished, you will be able to save the graph to a BMP image file.",
    "",
    "There is a limit of 1000 files that can be analyzed each time",
    "ORVEL is run. The application will write intermediate and final",
};

}  // namespace

void printIntroduction(Console& console) {
    for (std::string_view line : kIntroduction) console.printLine(line);
    console.printLine("results to the text file ORVEL_LOG");
    console.endLine();
}

}  // namespace orvel
