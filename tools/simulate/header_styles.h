// The cards capture programs write about the moment, the site, the star and the telescope's
// altitude, each program in its own way (--header-style).
#pragma once

#include <string>
#include <vector>

#include "simulate/night_options.h"
#include "simulate/night_plan.h"

namespace orvel::simulate {

// The frame's time and exposure cards, then the site, star and altitude cards of the style
// (DATE-OBS and EXPTIME alone without a style).
void addStyleCards(std::vector<std::string>& cards, const NightOptions& o, const Frame& f);

}  // namespace orvel::simulate
